#include "datamap.h"

#include "gridclipboard.h"

#include "link/bytequeue.h"
#include "link/commands.h"
#include "link/linkmanager.h"

#include <QFileInfo>
#include <algorithm>
#include <array>

namespace ambrel {

namespace {

// Blocks written by a page download and read by a page upload; 0 ends a list. A banked
// block goes with CurrentBank.
struct TPageBlocks {
    TConfigPage Page;
    int Strategy; // -1 under either strategy
    int Writes[3];
    int Reads[3];
};

constexpr TPageBlocks kPageBlocks[] = {
    {TConfigPage::SpecialGeneral, -1, {1, 2}, {1, 2}},
    {TConfigPage::SpecialAdaptivity, -1, {2, 9, 5}, {2, 9, 5}},
    {TConfigPage::General, -1, {1}, {1, 9}},
    {TConfigPage::Functions, -1, {2}, {2, 7}},
    {TConfigPage::Injectors, -1, {2}, {2, 13}},
    {TConfigPage::PetrolMap, -1, {}, {3}},
    {TConfigPage::GasMap, strategyCompensated, {}, {4}},
    {TConfigPage::GasMap, strategySlave, {}, {8}},
    {TConfigPage::Emulation, -1, {5}, {5, 10}},
    {TConfigPage::FuelTrim, -1, {5}, {5}},
    {TConfigPage::Correction, -1, {6}, {6}},
    {TConfigPage::Drivability, -1, {7}, {7, 11}},
    {TConfigPage::Advance, -1, {}, {11}},
    {TConfigPage::Sensors, -1, {1}, {1, 12}},
};

const TPageBlocks* PageBlocks(TConfigPage page, int strategy) {
    for (const TPageBlocks& row : kPageBlocks)
        if (row.Page == page && (row.Strategy == -1 || row.Strategy == strategy))
            return &row;
    return nullptr;
}

// The block that holds a map type; bank 0 = CurrentBank; block 0 = none (computed types).
struct TMapBlock {
    int Block;
    int Bank;
};

TMapBlock MapBlock(TMapTypeOfData type) {
    const int t = static_cast<int>(type);
    static constexpr TMapBlock kMapBlocks[kMapTypeCount] = {
        {8, 0},  {8, 0},  {8, 1},  {8, 2},  {3, 0},  {3, 0},  {3, 1},  {3, 2},  {4, 0},  {4, 0},
        {4, 1},  {4, 2},  {6, 0},  {6, 0},  {6, 0},  {6, 0},  {6, 0},  {6, 0},  {5, 0},  {7, 0},
        {7, 0},  {9, 0},  {0, 0},  {0, 0},  {10, 0}, {10, 0}, {10, 0}, {11, 0}, {13, 0}, {13, 0},
        {13, 0}, {12, 0}, {12, 0}, {12, 0}, {12, 0}, {12, 0}, {12, 0}, {12, 0}, {12, 0},
    };
    return (t >= 0 && t < kMapTypeCount) ? kMapBlocks[t] : TMapBlock{0, 0};
}

// The full download, block 1 (identification and basic set-up) last.
constexpr TBlockBank kDownloadOrder[kImageRecordCount] = {
    {13, 1}, {12, 1}, {11, 1}, {10, 1}, {9, 1}, {8, 1}, {8, 2}, {7, 1},
    {6, 1},  {5, 1},  {4, 1},  {4, 2},  {3, 1}, {3, 2}, {2, 1}, {1, 1},
};

} // namespace

// One whole write: a consumer per block of the download order, the state of each block,
// and the requests still in the queue (the job lives until the last of them has ended,
// even when a newer whole write has taken its place).
struct TDataMap::TWriteJob {
    enum class TState { Pending, Written, Failed };
    struct TWriter final : TConsumerInterface {
        TWriteJob* Job = nullptr;
        int Index = 0;
        void OnReply(const TFrame&) override { Job->Map->BlockWritten(*Job, Index, true); }
        void OnFailure() override { Job->Map->BlockWritten(*Job, Index, false); }
        void OnTimeout() override { Job->Map->BlockWritten(*Job, Index, false); }
    };
    TDataMap* Map = nullptr;
    std::array<TWriter, kImageRecordCount> Writers;
    std::array<TState, kImageRecordCount> States{};
    int Outstanding = 0;
    int Pass = 1;
    bool Show = false;
    quint8 Flag = 0;
    QString Port;
    QString Lost;
    bool CalledOff = false; // the link dropped its requests: no second pass
};

bool TLinkRequestSink::SendCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) {
    return m_link.SendCommand(payload, consumer, flag);
}

bool TLinkRequestSink::ECUisConnected() const {
    return m_link.ECUisConnected();
}

quint16 TLinkRequestSink::HeadCode() {
    const TFrame* head = m_link.Queue().HeadFrame();
    return head ? head->Code() : 0;
}

TDataMap::TDataMap(TSettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_clipboard(std::make_unique<TGridClipboard>(*this)) {
    Initialise();
}

TDataMap::TDataMap(QObject* parent)
    : QObject(parent), m_ownSettings(std::make_unique<TMemorySettingsStore>()), m_settings(*m_ownSettings),
      m_clipboard(std::make_unique<TGridClipboard>(*this)) {
    Initialise();
}

void TDataMap::Initialise() {
    ResetToDefaults(fuelLPG, false);
    SetSaved(true);
    // An installation writes CheckRange; a missing value reads as off, like the other
    // settings that an installation writes (COM_Port 0, COM_Autoscan off).
    m_checkRanges = m_settings.ReadBool(kSettingsKey, QStringLiteral("CheckRange"));
    m_mapRefresh = true;
}

TDataMap::~TDataMap() {
    if (m_link) {
        m_link->SetMapRefreshControl(nullptr);
        m_link->UnregisterPoll(&m_mapRefreshPoll);
        // Requests of this model still queued, or answers under way, must not reach it.
        m_link->ForgetConsumer(this);
        for (const auto& job : m_writeJobs)
            for (const auto& writer : job->Writers)
                m_link->ForgetConsumer(&writer);
    }
}

void TDataMap::PollAdaptedMaps() {
    // Every 2.01 s while the ECU may adapt the map in front, unless a block read waits.
    if (m_mapRefresh && m_link && !m_link->Queue().Contains(cmdReadBlock))
        RefreshAdaptedMaps();
}

void TDataMap::SetView(TConfigView* view) {
    m_view = view ? view : &m_noView;
}

void TDataMap::SetLink(TLinkManager& link) {
    m_link = &link;
    m_linkSink = std::make_unique<TLinkRequestSink>(link);
    m_sink = m_linkSink.get();
    link.SetMapRefreshControl(this);
    link.RegisterPoll(&m_mapRefreshPoll);
    connect(&link, &TLinkManager::PortLost, this, [this](const QString& port, const QString& reason) {
        if (m_write)
            m_write->Lost = tr("The port %1 failed: %2").arg(port, reason);
    });
    connect(&link, &TLinkManager::LinkFlushing, this, [this] {
        if (m_write)
            m_write->CalledOff = true;
    });
}

void TDataMap::ResetToDefaults(int fuel, bool supercharged) {
    ApplyDefaults(fuel, supercharged, tr("Untitled.cfg"));
    EncodeImage();
}

void TDataMap::SetSaved(bool saved) {
    m_saved = saved;
    if (!CarModel.isEmpty())
        BuildFileName();
    m_view->SetTitle(WindowTitle());
}

void TDataMap::SetEnableCheckRanges(bool on, bool store) {
    m_checkRanges = on;
    if (store)
        m_settings.WriteBool(kSettingsKey, QStringLiteral("CheckRange"), on);
}

bool TDataMap::IsInRange(double value, double lower, double upper) const {
    return !m_checkRanges || WithinBounds(value, lower, upper);
}

int TDataMap::RoundToHundred(double rpm) {
    return static_cast<int>(RoundToStep(rpm, 100));
}

void TDataMap::SetStrategyFlag(int strategyFlag) {
    const auto flag = static_cast<quint8>(strategyFlag == strategyCompensated ? strategyCompensated : strategySlave);
    if (flag == StrategyFlag)
        return;
    StrategyFlag = flag;
    m_view->StrategyChanged(flag);
    emit StrategyFlagChanged(flag);
}

void TDataMap::OnStrategyReported(int strategyFlag, bool) {
    if (strategyFlag == strategySlave || strategyFlag == strategyCompensated)
        SetStrategyFlag(strategyFlag);
}

QString TDataMap::WindowTitle() const {
    if (ConfigDate == QLatin1String("000000"))
        return m_applicationTitle;
    return m_applicationTitle + QStringLiteral(" - ") + QFileInfo(FileName).fileName() +
           (m_saved ? QString() : QStringLiteral(" *"));
}

// --- Transfers ---

void TDataMap::Send(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) {
    if (m_sink)
        m_sink->SendCommand(payload, consumer, flag);
}

void TDataMap::UploadBlock(int block, int bank, quint8 flag) {
    Send(Payload::ReadBlock(block, bank), this, flag);
}

void TDataMap::UploadAll(quint8 flag) {
    m_mapRefresh = false;
    for (int block = 1; block <= kBlockCount; ++block)
        for (int bank = 1; bank <= (IsBankedBlock(block) ? 2 : 1); ++bank)
            UploadBlock(block, bank, flag);
}

void TDataMap::UploadPage() {
    const TPageBlocks* row = PageBlocks(m_view->VisiblePage(), StrategyFlag);
    if (!row)
        return;
    for (const int block : row->Reads)
        if (block != 0)
            UploadBlock(block, CurrentBank, 0);
    if (row->Page == TConfigPage::Drivability)
        m_view->RequestSequence();
}

void TDataMap::UploadAdaptedMaps() {
    switch (m_view->VisiblePage()) {
    case TConfigPage::PetrolMap:
        if (Acquire || AdaptivePetrol)
            UploadBlock(3, CurrentBank, 0);
        break;
    case TConfigPage::GasMap:
        if (StrategyFlag == strategyCompensated) {
            if (AdaptiveGas)
                UploadBlock(4, CurrentBank, 0);
        } else if (AdaptiveSlave || AdaptiveGas) {
            UploadBlock(8, CurrentBank, 0);
        }
        break;
    default:
        break;
    }
}

void TDataMap::DownloadBlockBank(int block, int bank) {
    m_view->ReadFromGUI(*this);
    EncodeImage();
    Send(Payload::WriteBlock(m_raw.BuildBlock(block, bank)), this, 0);
}

void TDataMap::DownloadBlock(int block) {
    DownloadBlockBank(block, CurrentBank);
}

void TDataMap::DownloadBothBanks(bool compensated) {
    m_view->ReadFromGUI(*this);
    EncodeImage();
    const int block = compensated ? 4 : 8;
    for (const int bank : {1, 2})
        Send(Payload::WriteBlock(m_raw.BuildBlock(block, bank)), this, 0);
}

void TDataMap::DownloadMapType(TMapTypeOfData type) {
    const TMapBlock where = MapBlock(type);
    if (where.Block == 0)
        return;
    DownloadBlockBank(where.Block, where.Bank == 0 ? CurrentBank : where.Bank);
}

QList<int> TDataMap::PageWriteBlocks() const {
    QList<int> blocks;
    if (const TPageBlocks* row = PageBlocks(m_view->VisiblePage(), StrategyFlag))
        for (const int block : row->Writes)
            if (block != 0)
                blocks << block;
    return blocks;
}

void TDataMap::DownloadPage() {
    for (const int block : PageWriteBlocks())
        DownloadBlock(block);
}

QString TDataMap::BlockText(const TBlockBank& bb) {
    return IsBankedBlock(bb.Block) ? tr("block %1, bank %2").arg(bb.Block).arg(bb.Bank) : tr("block %1").arg(bb.Block);
}

void TDataMap::DownloadAll(const QString& progressText, bool show) {
    m_mapRefresh = false;
    m_view->ReadFromGUI(*this);
    EncodeImage();
    if (show && m_sink && m_sink->ECUisConnected()) {
        m_progress = 0;
        m_view->ShowProgress(progressText, 0);
    }
    auto job = std::make_unique<TWriteJob>();
    job->Map = this;
    job->Show = show;
    job->Flag = show ? 1 : 0;
    job->Port = m_link ? m_link->PortName() : QString();
    for (int i = 0; i < kImageRecordCount; ++i) {
        job->Writers[static_cast<size_t>(i)].Job = job.get();
        job->Writers[static_cast<size_t>(i)].Index = i;
    }
    m_write = job.get();
    m_writeJobs.push_back(std::move(job));
    for (auto& state : m_write->States)
        state = TWriteJob::TState::Failed; // not written yet: every block goes
    SendJobBlocks(*m_write);
}

void TDataMap::SendJobBlocks(TWriteJob& job) {
    for (int i = 0; i < kImageRecordCount; ++i) {
        const auto at = static_cast<size_t>(i);
        if (job.States[at] == TWriteJob::TState::Written)
            continue;
        const TBlockBank bb = kDownloadOrder[i];
        const bool queued = m_sink && m_sink->SendCommand(Payload::WriteBlock(m_raw.BuildBlock(bb.Block, bb.Bank)),
                                                          &job.Writers[at], bb.Block == 1 ? job.Flag : 0);
        // A request that was not queued has failed already (a full queue also says so
        // later, which then finds the block no longer pending).
        job.States[at] = queued ? TWriteJob::TState::Pending : TWriteJob::TState::Failed;
        if (queued)
            job.Outstanding += 1;
    }
    JobStep(job);
}

void TDataMap::BlockWritten(TWriteJob& job, int index, bool ok) {
    job.Outstanding = std::max(job.Outstanding - 1, 0);
    if (&job != m_write) {
        // An abandoned write: its last request has ended, it can go.
        if (job.Outstanding == 0)
            std::erase_if(m_writeJobs, [&job](const auto& j) { return j.get() == &job; });
        return;
    }
    const auto at = static_cast<size_t>(index);
    if (job.States[at] != TWriteJob::TState::Pending)
        return;
    job.States[at] = ok ? TWriteJob::TState::Written : TWriteJob::TState::Failed;
    if (ok) {
        // Sixteen writes of 9 each would overrun the bar: it stops at full. The block that
        // carries the flag (block 1, last) ends the bar with "Download complete" instead.
        if (kDownloadOrder[index].Block != 1 || job.Flag == 0) {
            m_progress = std::min(m_progress + 9, 100);
            m_view->SetProgress(m_progress);
        }
    }
    JobStep(job);
}

void TDataMap::JobStep(TWriteJob& job) {
    if (std::find(job.States.begin(), job.States.end(), TWriteJob::TState::Pending) != job.States.end())
        return;
    const bool failures =
        std::find(job.States.begin(), job.States.end(), TWriteJob::TState::Failed) != job.States.end();
    const bool samePort = !m_link || m_link->PortName() == job.Port;
    if (failures && job.Pass == 1 && job.Lost.isEmpty() && !job.CalledOff && samePort) {
        // The second pass leaves from the event loop: the outcomes come while the link is
        // still handling the answer, with its queue closed to new requests.
        job.Pass = 2;
        TWriteJob* pending = &job;
        QMetaObject::invokeMethod(
            this,
            [this, pending] {
                if (m_write == pending)
                    SendJobBlocks(*pending);
            },
            Qt::QueuedConnection);
        return;
    }
    FinishWrite(job);
}

void TDataMap::FinishWrite(TWriteJob& job) {
    m_write = nullptr;
    m_mapRefresh = true;
    QList<TBlockBank> left;
    for (int i = 0; i < kImageRecordCount; ++i)
        if (job.States[static_cast<size_t>(i)] != TWriteJob::TState::Written)
            left << kDownloadOrder[i];
    const QString lost = job.Lost;
    const bool announce = job.Flag != 0;
    if (job.Outstanding <= 0) // nothing of it is queued any more: it goes now
        std::erase_if(m_writeJobs, [&job](const auto& j) { return j.get() == &job; });
    m_ecuOutOfDate = !left.isEmpty();
    if (left.isEmpty()) {
        if (announce)
            m_view->ShowMessage(tr("Download complete"), 500);
        emit WholeWriteFinished(true, left, QString());
        return;
    }
    QStringList names;
    for (const TBlockBank& bb : left)
        names << BlockText(bb);
    m_view->HideProgress();
    QString text = tr("Download failed: check connections.");
    if (!lost.isEmpty())
        text += QLatin1Char('\n') + lost;
    text += QLatin1Char('\n') + tr("%n block(s) of the ECU may now be wrong: %1.", nullptr, static_cast<int>(left.size()))
                                     .arg(names.join(QStringLiteral("; ")));
    text += QLatin1Char('\n') + tr("Use Download to write the whole configuration again.");
    m_view->ShowError(text);
    emit WholeWriteFinished(false, left, lost);
}

void TDataMap::OnEcuConnected() {
    if (m_ecuOutOfDate) {
        m_view->ShowError(tr("The ECU holds a partly written configuration. Use Download to finish writing it."));
        return;
    }
    UploadAll(1);
}

void TDataMap::DownloadAllTo(TConsumerInterface* consumer, quint8 flag) {
    for (const TBlockBank& bb : kDownloadOrder)
        Send(Payload::WriteBlock(m_raw.BuildBlock(bb.Block, bb.Bank)), consumer, bb.Block == 1 ? flag : 0);
}

void TDataMap::AfterDecode() {
    RefreshViews();
}

void TDataMap::OnReply(const TFrame& reply) {
    if (reply.Code() == ReplyCodeFor(cmdReadBlock)) {
        const QByteArray data = reply.FrameDataPart();
        const int n = m_raw.ParseBlock(reply);
        const int bank = data.size() >= 2 && static_cast<quint8>(data.at(1)) == 1 ? 1 : 2;
        const bool known = n >= 1 && n <= kBlockCount;
        switch (n) {
        case 1:
            DecodeParameters(m_raw.Record);
            AfterDecode();
            BuildFileName();
            break;
        case 3:
        case 4:
        case 8:
            DecodeMap(m_raw.Record, n, bank);
            m_view->RepaintMaps();
            break;
        case 11: {
            DecodeParameters(m_raw.Record);
            AfterDecode();
            bool advanced = false;
            for (size_t i = 0; i < AssegnazioneIniettori.size(); ++i)
                advanced = advanced || AssegnazioneIniettori[i] != static_cast<int>(i + 1);
            m_view->SetInjectorSequenceAdvanced(advanced);
            break;
        }
        default:
            if (known) {
                DecodeParameters(m_raw.Record);
                AfterDecode();
                SetSaved(false);
                m_view->RefreshDependentControls();
            }
            break;
        }
        if (known && reply.Flag != 0) {
            const int p = n * 100 / kBlockCount;
            if (n == 1)
                m_view->ShowProgress(tr("Upload in progress"), p);
            else if (n > 12)
                m_view->ShowMessage(tr("Upload complete"), 500);
            else
                m_view->SetProgress(p);
        }
        m_mapRefresh = true;
        if (known)
            emit BlockUploaded(n, IsBankedBlock(n) ? bank : 1);
        return;
    }
    if (reply.Code() == ReplyCodeFor(cmdWriteBlock)) {
        // A single block write (whole writes have a consumer per block): one step of a
        // progress display, which the window shows only while a whole transfer has one.
        m_progress = std::min(m_progress + 9, 100);
        m_view->SetProgress(m_progress);
        m_mapRefresh = true;
        return;
    }
    m_mapRefresh = true;
}

void TDataMap::OnFailure() {
    emit RequestFailed(false);
}

void TDataMap::OnTimeout() {
    m_view->HideProgress();
    if (m_sink && m_sink->HeadCode() == cmdWriteBlock)
        m_view->ShowError(tr("Download failed: check connections."));
    m_mapRefresh = true;
    emit RequestFailed(true);
}

// --- Undo ---

void TDataMap::SaveUndoPoint() {
    // Starts from the current image so that the bytes the model does not own (the ECU's
    // flag bits, a threshold without a TPS) are restored as they were.
    m_undoRecord = m_raw.Record;
    TConfiguration::EncodeImage(m_undoRecord);
    m_undoAvailable = true;
    m_view->SetUndoEnabled(true);
}

bool TDataMap::Undo() {
    if (!m_undoAvailable)
        return false;
    m_mapRefresh = false;
    DecodeMaps(m_undoRecord);
    DecodeParameters(m_undoRecord);
    RefreshViews();
    m_view->RepaintMaps();
    if (m_sink && m_sink->ECUisConnected())
        DownloadAll(tr("Restoring ECU"), true);
    m_mapRefresh = true;
    m_undoAvailable = false;
    m_view->SetUndoEnabled(false);
    return true;
}

} // namespace ambrel
