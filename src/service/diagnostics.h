#pragma once
// TDiagnostics: the conversation behind the diagnostics window. It sends the diagnostic
// requests (trouble codes and their status, clear, freeze frame, VIN read and write, the
// ECU's COM error log, counters read and clear), keeps what the ECU last answered as values
// (the views word them, again on a language change), and tells whether the check-engine
// lamp should flash: while the ECU reports a code present, until the codes are cleared.
//
// It owns the trouble-code status poll (every 2.08 s while polling runs, whether a window
// shows it or not). The counters' periodic read (60.02 s) and their read on connecting stay
// with the session controller, which owns the connecting sequence: one poll, one owner.
// Its answers reach this object through TakeCounters; the user's read and clear go out
// from here.

#include "link/commands.h"
#include "link/frame.h"
#include "link/pollhooks.h"
#include "service/freezeframe.h"

#include <QObject>
#include <QStringList>
#include <optional>

namespace ambrel {

class TLinkManager;

class TDiagnostics final : public QObject, private TConsumerInterface {
    Q_OBJECT
public:
    // One entry of the Errors list: a code read with its status, or a code of the plain
    // trouble-code answer (no status).
    struct TCodeEntry {
        quint16 Code = 0;
        std::optional<TDtcStatusEntry> Status;
    };

    explicit TDiagnostics(TLinkManager& link, QObject* parent = nullptr);
    ~TDiagnostics() override;

    // --- Requests ---
    void ReadCodes();      // the trouble codes, then their status
    void ClearCodes();     // clears them in the ECU; the lamp stops at once
    void ReadFreezeFrame();
    void ReadVin();
    // Sends the VIN when it is exactly 17 printable characters; false (nothing sent) otherwise.
    bool WriteVin(const QString& vin);
    void ReadComErrors();
    void ReadCounters();
    void ClearCounters();

    // The counters the session controller read (its periodic and connecting reads).
    void TakeCounters(const ambrel::TCounters& counters);

    // --- What the ECU last answered ---
    const QList<TCodeEntry>& Codes() const { return m_codes; }
    const std::optional<TFreezeFrame>& FreezeFrame() const { return m_freezeFrame; }
    const std::optional<TCounters>& Counters() const { return m_counters; }
    bool CheckEngine() const { return m_checkEngine; }

    // The status poll's period in ticks of the link (2.08 s).
    static constexpr int kStatusTicks = 207;

    // The lines of the Errors and Counters lists in the current language ("No trouble
    // code." for an empty Errors list; no lines before the counters were read).
    QStringList CodeLines() const;
    QStringList CounterLines() const;

signals:
    void CodesChanged();
    void FreezeFrameChanged();
    void VinRead(const QString& vin);
    // The ECU's COM error codes of one answer, to be added to the COM list.
    void ComErrorsRead(const QList<quint16>& codes);
    void CountersChanged();
    void CheckEngineChanged(bool flashing);

private:
    void OnReply(const TFrame& reply) override;
    void OnFailure() override;
    void OnTimeout() override;
    void SetCheckEngine(bool on);
    int PollStatus();

    // The consumer of the poll's status requests, so their count is kept apart from the
    // user's requests.
    class TStatusConsumer final : public TConsumerInterface {
    public:
        explicit TStatusConsumer(TDiagnostics& owner) : m_owner(owner) {}
        void OnReply(const TFrame& reply) override;
        void OnFailure() override;
        void OnTimeout() override { OnFailure(); }

    private:
        TDiagnostics& m_owner;
    };

    TLinkManager& m_link;
    TStatusConsumer m_statusConsumer{*this};
    QList<TCodeEntry> m_codes;
    std::optional<TFreezeFrame> m_freezeFrame;
    std::optional<TCounters> m_counters;
    bool m_checkEngine = false;
    // Status requests of the poll that wait for their answer: a silent ECU never gets a
    // second one queued behind the first.
    int m_statusWaiting = 0;
    TFunctionPoll m_statusPoll{kStatusTicks, [this] { return PollStatus(); }};
};

} // namespace ambrel
