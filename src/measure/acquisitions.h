#pragma once
// TAcquisitions: the live measurements of the whole program. It is the consumer of every
// status request, keeps the raw record and the derived measures, holds the three poll
// modes that the link manager's acquisition poll reads, analyses the injection sequence,
// and records the meters window's traces to a trace file or plays one back.
//
// One instance lives for the whole run, made by the composition root and handed to the
// windows. Everything runs on the thread of the link manager's event loop.
//
// Upward it talks through signals (a new sample, the sequence, the lambda chart restart,
// the status-update actions, each step of the live-status poll) and through the TTraceView
// of the meters window. Its
// configuration comes in as a TMeasureSettings that the composition root keeps current.

#include "measures.h"
#include "rawmeasures.h"
#include "tracefile.h"
#include "traceview.h"

#include "link/frame.h"
#include "link/pollhooks.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

#include <deque>
#include <functional>

namespace ambrel {

class TLinkManager;

class TAcquisitions : public QObject, public TConsumerInterface, public TAcquisitionModes {
    Q_OBJECT
public:
    // The chart keeps this many seconds of live data; the file keeps everything.
    static constexpr double kChartWindowSeconds = 100.0;

    // The live-status poll's periods in link ticks: the fast one for the Minimums mode.
    static constexpr int kAcquisitionFast = 9;
    static constexpr int kAcquisitionSlow = 15;

    // Registers the live-status poll with the link for the object's whole life.
    explicit TAcquisitions(TLinkManager& link, QObject* parent = nullptr);
    ~TAcquisitions() override;

    void SetSettings(const TMeasureSettings& settings) { m_settings = settings; }
    const TMeasureSettings& Settings() const { return m_settings; }

    const TRawMeasures& Raw() const { return m_raw; }
    TRawMeasures& Raw() { return m_raw; }
    const TDerivedMeasures& Measures() const { return m_measures; }
    const TSequenceResult& Sequence() const { return m_sequence; }
    // Ticks before the live-status poll runs next (tests).
    int PollCountdown() const { return m_poll.Countdown; }

    // TConsumerInterface: the answers to the status and table requests.
    void OnReply(const TFrame& reply) override;
    // A status request that will not be answered switches off the modes that need it.
    void OnFailure() override;
    void OnTimeout() override {}

    void Derive();
    void AnalyseSequence(const QByteArray& data);

    // Queue one request with this object as consumer (a connection check goes first
    // while the ECU is not connected).
    void RequestStatus();
    void RequestStatusMin();
    void RequestStatusExt();
    void RequestSequence();

    // TAcquisitionModes: the poll modes. Switching an acquisition mode on clears the
    // record and the traces; every "on" restarts the link's poll countdown.
    bool StandardAcquisition() const override { return m_standard; }
    bool MinimumsAcquisition() const override { return m_minimums; }
    bool StatusUpdate() const override { return m_statusUpdate; }
    void SetStandardAcquisition(bool on) override;
    void SetMinimumsAcquisition(bool on) override;
    void SetStatusUpdate(bool on) override;
    bool WantsStandardAcquisition() const override { return m_metersShown; }
    TConsumerInterface* StatusConsumer() override { return this; }
    // The meters window tells whether it is shown (a connection then starts Standard).
    void SetMetersShown(bool shown) { m_metersShown = shown; }

    // ------------------------------------------------------------ recorder
    void SetTraceView(TTraceView* view);
    // The time source of the sampling, in milliseconds (tests set their own). By default
    // a monotonic clock, so a recording that runs past midnight or through a change of
    // the system time keeps its time column steady.
    void SetClock(std::function<qint64()> msNow);

    QString TraceFileName() const { return m_traceFileName; }
    void SetTraceFileName(const QString& path) { m_traceFileName = path; }
    bool Recording() const { return m_recording; }
    bool Playback() const { return m_playback; }
    void SetRecording(bool on) override;
    void SetPlayback(bool on);

    // One refresh of the meters window: a point for every trace and, when recording,
    // one line of the trace file.
    void SampleTraces();
    // Writes the line and a line end when recording, and puts it on the disk at once, so
    // a crash or a pulled cable loses at most the line being written.
    void WriteTraceLine(const QByteArray& line);
    // Reads the played-back file again so its points follow the maxima now in force.
    bool ReloadTrace();

    const TTraceSettings& TraceSettings() const { return m_traces; }
    double TraceMax(int trace) const { return m_traces[Index(trace)].Max; }
    bool TraceShown(int trace) const { return m_traces[Index(trace)].Shown; }
    void SetTraceMax(int trace, double max) { m_traces[Index(trace)].Max = max; }
    void SetTraceShown(int trace, bool shown) { m_traces[Index(trace)].Shown = shown; }

    bool SaveButtonEnabled() const { return m_saveEnabled; }
    bool SaveButtonPressed() const { return m_savePressed; }
    bool LoadButtonEnabled() const { return m_loadEnabled; }
    bool LoadButtonPressed() const { return m_loadPressed; }

signals:
    // A status reply was decoded and derived. Connected in this order by the composition
    // root: map check, wizard, auto-tune, the main window's map cursor and status panel.
    void MeasuresDerived(quint16 requestCode);
    void SequenceAnalysed();
    void LambdaChartRestart();
    // The main window's "Enable/Disable status update" actions follow this.
    void StatusUpdateChanged(bool on);
    void RecordingChanged(bool on);
    void PlaybackChanged(bool on);
    // A line could not be written; recording goes on (told once per recording).
    void TraceWriteFailed(const QString& error);
    // The live-status poll ran; `meters` when the meters window's display step is due too.
    void AcquisitionStep(bool meters);

private:
    static std::size_t Index(int trace) { return static_cast<std::size_t>(trace); }
    void EnterAcquisition();
    void SetCountdown(int ticks);
    // One run of the live-status poll: the requests of the mode in force; the ticks until
    // the next run (0: none in force, look again on the next tick).
    int AcquisitionPoll();
    void ClearTraces();
    void AddTracePoint(int trace, double time, double value);
    bool StartRecording();
    void StopRecording();
    bool StartPlayback();
    void StopPlayback();
    void UpdateButtons();
    bool ReadPlaybackData(double& last);
    QString InvalidFileText() const;

    TLinkManager& m_link;
    TFunctionPoll m_poll{kAcquisitionSlow, [this] { return AcquisitionPoll(); }};
    TMeasureSettings m_settings;
    TRawMeasures m_raw;
    TDerivedMeasures m_measures;
    TSequenceResult m_sequence;
    bool m_standard = false;
    bool m_minimums = false;
    bool m_statusUpdate = false;
    bool m_metersShown = false;

    TTraceView* m_view;
    std::function<qint64()> m_clock;
    QElapsedTimer m_monotonic;
    TTraceSettings m_traces = InitialTraceSettings();
    QString m_traceFileName;
    QFile m_traceFile;
    bool m_recording = false;
    bool m_playback = false;
    bool m_writeFailureTold = false;
    double m_lastTime = 0;           // last time of trace 0
    std::deque<double> m_liveTimes;  // times of trace 0's points on the live chart
    qint64 m_previousMs = 0;
    bool m_saveEnabled = false, m_savePressed = false;
    bool m_loadEnabled = true, m_loadPressed = false;
};

} // namespace ambrel
