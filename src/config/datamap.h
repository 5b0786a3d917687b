#pragma once
// TDataMap: the one configuration model of the workbench. It is the configuration
// (TConfiguration: parameters, maps, axes, curves, strategy) together with its ECU image
// (TRawData), the single undo point, the saved state and window title, the block
// transfers to and from the ECU (it is the consumer of its own requests), the .cfg files
// and the grid clipboard.
//
// Windows are reached only through TConfigView (configview.h) and the signals below; the
// link only through a TRequestSink. The composition root connects:
//   link.EcuConnected      -> OnEcuConnected   (the full read of every connection)
//   link.StrategyReported  -> OnStrategyReported
// and hands the model to the link as its map refresh control (SetLink does both of the
// link-side settings).

#include "configuration.h"
#include "configview.h"
#include "rawdata.h"
#include "requestsink.h"

#include "link/frame.h"
#include "link/pollhooks.h"
#include "link/settings.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>
#include <optional>

namespace ambrel {

class TGridClipboard;
class TLinkManager;

// The outcome of a file operation: empty Error on success.
struct TFileResult {
    QString Error;
    bool Ok() const { return Error.isEmpty(); }
};

// The value a user typed and the bounds of its control.
struct TEditRange {
    double Value = 0;
    double Lower = 0;
    double Upper = 0;
};

// One user edit, as TDataMap::ApplyEdit takes it from the hand to the ECU.
struct TEdit {
    // The change itself, made after the undo point is taken. Empty when the window's
    // controls hold the new value: the block write takes every control into the model
    // first (TConfigView::ReadFromGUI).
    std::function<void(TDataMap&)> Change;
    // The blocks the edit touches (a banked block with CurrentBank); empty: the blocks
    // edited on the visible page.
    QList<int> Blocks;
    // The edited value and its control's bounds, checked while range checking is on.
    std::optional<TEditRange> Range;
    // False while the set-up wizard runs: its cancel goes back to the undo point it took
    // when it started, which a point per edit would overwrite.
    bool UndoPoint = true;
};

enum class TEditOutcome { Applied, OutOfRange };

class TDataMap : public QObject,
                 public TConfiguration,
                 public TConsumerInterface,
                 public TMapRefreshControl {
    Q_OBJECT
public:
    // `settings` holds CheckRange. Without one the model keeps its settings in memory
    // (files looked at offline, tests).
    explicit TDataMap(TSettingsStore& settings, QObject* parent = nullptr);
    explicit TDataMap(QObject* parent = nullptr);
    ~TDataMap() override;

    // --- Collaborators ---
    void SetView(TConfigView* view);
    TConfigView& View() { return *m_view; }
    // Requests go to the link; the link asks this model about the live map refresh.
    void SetLink(TLinkManager& link);
    void SetRequestSink(TRequestSink* sink) { m_sink = sink; }
    TRawData& RawData() { return m_raw; }
    const TRawData& RawData() const { return m_raw; }
    TGridClipboard& GridClipboard() { return *m_clipboard; }

    // --- Parameters and bookkeeping ---
    // Every field to its default under the current strategy, and the image encoded from
    // it. Leaves Saved and EnableMapRefresh alone.
    void ResetToDefaults(int fuel, bool supercharged);
    bool Saved() const { return m_saved; }
    // Stores the state, refreshes the default file name and rewrites the window title.
    void SetSaved(bool saved);
    bool EnableCheckRanges() const { return m_checkRanges; }
    // The "Range Check" command: also stored as the settings value CheckRange.
    void SetEnableCheckRanges(bool on, bool store = true);
    bool EnableMapRefresh() const override { return m_mapRefresh; }
    void SetEnableMapRefresh(bool on) override { m_mapRefresh = on; }
    void RefreshAdaptedMaps() override { UploadAdaptedMaps(); }
    // An edited value may be taken when it lies within its bounds (both ends included)
    // or range checking is off.
    bool IsInRange(double value, double lower, double upper) const;
    // The RPM thresholds are edited in whole hundreds; an exact half goes up.
    static int RoundToHundred(double rpm);
    void BuildFileName() { TConfiguration::BuildFileName(tr("Comp.")); }
    void SetStrategyFlag(int strategyFlag);
    QString ApplicationTitle() const { return m_applicationTitle; }
    void SetApplicationTitle(const QString& title) { m_applicationTitle = title; }
    // The title rule: the application title alone while the date is "000000", otherwise
    // with " - ", the file name and " *" while unsaved.
    QString WindowTitle() const;
    // Where "today" comes from for the configuration date (tests fix it).
    void SetClock(std::function<QDate()> today) { m_today = std::move(today); }
    QDate Today() const { return m_today(); }

    // --- The edit pipeline ---
    // Takes one user edit end to end: range check (a refusal shows "Parameter out of
    // range." and puts the model's values back into the views), undo point, configuration
    // date set to today (an ECU never configured keeps "000000"), the change, the write of
    // the blocks it touches, the unsaved mark and the refresh of every view. Every page,
    // grid, menu action and assistant edits through here.
    TEditOutcome ApplyEdit(const TEdit& edit);
    // The model changed as a whole: the window copies it into its controls and the
    // observers of ConfigurationRefreshed (the live measures' sensor settings) follow.
    void RefreshViews();

    // --- Image ---
    void EncodeImage() { TConfiguration::EncodeImage(m_raw.Record); }
    using TConfiguration::DecodeMap;
    using TConfiguration::DecodeMaps;
    using TConfiguration::DecodeParameters;
    using TConfiguration::EncodeImage;

    // --- Transfers (Upload = ECU to workbench, Download = workbench to ECU) ---
    void UploadBlock(int block, int bank, quint8 flag);
    void UploadAll(quint8 flag);
    void UploadPage();
    void UploadAdaptedMaps();
    void DownloadBlockBank(int block, int bank);
    void DownloadBlock(int block);
    // Block 4 (true) or block 8 (false), bank 1 then bank 2.
    void DownloadBothBanks(bool compensated);
    void DownloadMapType(TMapTypeOfData type);
    void DownloadPage();
    // The whole configuration into the ECU: 16 writes, block 1 last. Each block has its own
    // consumer, so the model knows exactly which blocks the ECU took. Blocks whose write
    // failed are written once more after the first pass, unless the port was lost (a
    // transfer belongs to its port and never goes on on another device). Blocks that still
    // failed are named in the error and WholeWriteFinished, and EcuOutOfDate stays set
    // until a whole write succeeds, so that Download can finish the job.
    // The blocks that DownloadPage writes for the visible page.
    QList<int> PageWriteBlocks() const;
    void DownloadAll(const QString& progressText, bool show);
    bool WholeWriteRunning() const { return m_write != nullptr; }
    bool EcuOutOfDate() const { return m_ecuOutOfDate; }
    // "block 4, bank 2" or "block 7".
    static QString BlockText(const TBlockBank& bb);
    // The 16 writes of the current image, block 1 last and alone carrying `flag`.
    void DownloadAllTo(TConsumerInterface* consumer, quint8 flag);

    // --- Undo ---
    void SaveUndoPoint();
    bool UndoAvailable() const { return m_undoAvailable; }
    // Restores the undo point once; false when there is none to use.
    bool Undo();
    const RMappatura& UndoRecord() const { return m_undoRecord; }

    // --- Files ---
    TFileResult SaveToFile(const QString& path);
    TFileResult LoadFromFile(const QString& path);

    // --- TConsumerInterface ---
    void OnReply(const TFrame& reply) override;
    void OnFailure() override;
    void OnTimeout() override;

public slots:
    // The full read of every connection. While the ECU holds a partly written
    // configuration it is not read back over the model that is still to be written.
    void OnEcuConnected();
    void OnStrategyReported(int strategyFlag, bool announced);

signals:
    // After each reply to one of this model's requests has been handled.
    void BlockUploaded(int block, int bank);
    // A request of this model was refused or given up (timedOut: three sends unanswered).
    void RequestFailed(bool timedOut);
    // A whole write ended: every block written, or `blocksLeft` (in download order) may be
    // held wrongly by the ECU; `reason` is the port's failure when it was lost.
    void WholeWriteFinished(bool ok, const QList<ambrel::TBlockBank>& blocksLeft, const QString& reason);
    void StrategyFlagChanged(int strategyFlag);
    // After RefreshViews: the parameters may all have changed (a block read, a file, an
    // edit, an undo).
    void ConfigurationRefreshed();

private:
    struct TWriteJob;
    friend struct TWriteJob;
    void Initialise();
    void Send(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag);
    void SendJobBlocks(TWriteJob& job);
    void PollAdaptedMaps();
    void BlockWritten(TWriteJob& job, int index, bool ok);
    void JobStep(TWriteJob& job);
    void FinishWrite(TWriteJob& job);
    void AfterDecode();

    std::unique_ptr<TMemorySettingsStore> m_ownSettings;
    TSettingsStore& m_settings;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };
    TConfigView m_noView;
    TConfigView* m_view = &m_noView;
    QPointer<TLinkManager> m_link;
    std::unique_ptr<TLinkRequestSink> m_linkSink;
    TRequestSink* m_sink = nullptr;
    TRawData m_raw;
    RMappatura m_undoRecord;
    std::unique_ptr<TGridClipboard> m_clipboard;
    QString m_applicationTitle = QStringLiteral("Ambrel Q7 Diagnostic");
    int m_progress = 0;
    bool m_saved = true;
    bool m_checkRanges = true;
    bool m_mapRefresh = true;
    bool m_undoAvailable = false;
    bool m_ecuOutOfDate = false;
    // The live refresh of the displayed map, registered with the link by SetLink.
    static constexpr int kMapRefreshTicks = 200;
    TFunctionPoll m_mapRefreshPoll{kMapRefreshTicks, [this] {
                                       PollAdaptedMaps();
                                       return kMapRefreshTicks;
                                   }};
    // Whole writes whose requests are still queued; the last one is m_write while it runs.
    std::vector<std::unique_ptr<TWriteJob>> m_writeJobs;
    TWriteJob* m_write = nullptr;
};

} // namespace ambrel
