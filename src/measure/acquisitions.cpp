#include "acquisitions.h"

#include "link/commands.h"
#include "link/linkmanager.h"

#include <QFileInfo>

#include <cmath>

namespace ambrel {

namespace {

// Stands in for the meters window where there is none (the command-line tool).
class TNoTraceView final : public TTraceView {};

TNoTraceView g_noView;

const QByteArray kLineEnd = "\r\n";

} // namespace

TAcquisitions::TAcquisitions(TLinkManager& link, QObject* parent)
    : QObject(parent), m_link(link), m_view(&g_noView) {
    m_monotonic.start();
    m_clock = [this] { return m_monotonic.elapsed(); };
    m_liveTimes.push_back(0);
    m_link.RegisterPoll(&m_poll);
}

TAcquisitions::~TAcquisitions() {
    m_link.UnregisterPoll(&m_poll);
    // A recording still open at the end gets its scaling line.
    if (m_recording)
        StopRecording();
}

void TAcquisitions::SetTraceView(TTraceView* view) {
    m_view = view ? view : &g_noView;
}

void TAcquisitions::SetClock(std::function<qint64()> msNow) {
    m_clock = std::move(msNow);
}

// ---------------------------------------------------------------- replies

void TAcquisitions::OnReply(const TFrame& reply) {
    const quint16 request = reply.RequestCode();
    const QByteArray data = reply.FrameDataPart();
    switch (request) {
    case cmdReadStatus:
        m_raw.DecodeStatus(data);
        break;
    case cmdReadStatusMin:
        m_raw.DecodeStatusMin(data);
        break;
    case cmdReadStatusExt:
        m_raw.DecodeStatusExt(data);
        break;
    case cmdReadTable32:
        AnalyseSequence(data);
        return;
    default:
        return;
    }
    Derive();
    emit MeasuresDerived(request);
}

void TAcquisitions::OnFailure() {
    // Called while the failed request is still the head of the queue.
    const TFrame* head = m_link.Queue().HeadFrame();
    if (!head)
        return;
    if (head->Code() == cmdReadStatus) {
        if (m_standard)
            SetStandardAcquisition(false);
        if (m_statusUpdate)
            SetStatusUpdate(false);
        SetRecording(false);
    } else if (head->Code() == cmdReadStatusMin) {
        if (m_statusUpdate)
            SetStatusUpdate(false);
    }
}

void TAcquisitions::Derive() {
    ambrel::Derive(m_raw, m_settings, m_link.HardwareVersion(), m_measures);
}

void TAcquisitions::AnalyseSequence(const QByteArray& data) {
    if (ambrel::AnalyseSequence(data, m_settings.Cylinders, m_measures.RPM, m_sequence) ==
        TSequenceOutcome::Analysed)
        emit SequenceAnalysed();
}

void TAcquisitions::RequestStatus() {
    m_link.SendCommand(Payload::Plain(cmdReadStatus), this, 0);
}

void TAcquisitions::RequestStatusMin() {
    m_link.SendCommand(Payload::Plain(cmdReadStatusMin), this, 0);
}

void TAcquisitions::RequestStatusExt() {
    m_link.SendCommand(Payload::Plain(cmdReadStatusExt), this, 0);
}

void TAcquisitions::RequestSequence() {
    m_link.SendCommand(Payload::Plain(cmdReadTable32), this, 0);
}

// ---------------------------------------------------------------- poll modes

void TAcquisitions::SetCountdown(int ticks) {
    m_poll.Countdown = ticks;
}

int TAcquisitions::AcquisitionPoll() {
    if (MinimumsAcquisition()) {
        if (!m_link.Queue().Contains(cmdReadStatusExt)) {
            m_link.SendCommand(Payload::Plain(cmdReadStatus), this);
            m_link.SendCommand(Payload::Plain(cmdReadStatusExt), this);
        }
        emit AcquisitionStep(true);
        return kAcquisitionFast;
    }
    if (StandardAcquisition()) {
        if (!m_link.Queue().Contains(cmdReadStatus))
            m_link.SendCommand(Payload::Plain(cmdReadStatus), this);
        emit AcquisitionStep(true);
        return kAcquisitionSlow;
    }
    if (StatusUpdate()) {
        if (!m_link.Queue().Contains(cmdReadStatusMin))
            m_link.SendCommand(Payload::Plain(cmdReadStatusMin), this);
        emit AcquisitionStep(false);
        return kAcquisitionSlow;
    }
    return 0;
}

void TAcquisitions::EnterAcquisition() {
    m_raw.Clear();
    Derive();
    ClearTraces();
    m_view->ResetTraceAxes();
    emit LambdaChartRestart();
    m_view->ResetMeterMarks();
}

void TAcquisitions::SetStandardAcquisition(bool on) {
    const bool was = m_standard;
    m_standard = on;
    m_saveEnabled = on;
    UpdateButtons();
    m_view->ShowAcquisitionMode(on, !on);
    if (on && !was)
        EnterAcquisition();
    if (on)
        SetCountdown(kAcquisitionSlow);
}

void TAcquisitions::SetMinimumsAcquisition(bool on) {
    const bool was = m_minimums;
    m_minimums = on;
    m_saveEnabled = on;
    UpdateButtons();
    m_view->ShowAcquisitionMode(!on, on);
    if (on && !was)
        EnterAcquisition();
    if (on)
        SetCountdown(kAcquisitionFast);
}

void TAcquisitions::SetStatusUpdate(bool on) {
    const bool was = m_statusUpdate;
    m_statusUpdate = on;
    emit StatusUpdateChanged(on);
    if (on && !was)
        emit LambdaChartRestart();
    if (on)
        SetCountdown(kAcquisitionSlow);
}

// ---------------------------------------------------------------- traces

void TAcquisitions::UpdateButtons() {
    m_view->SetSaveButton(m_saveEnabled, m_savePressed);
    m_view->SetLoadButton(m_loadEnabled, m_loadPressed);
}

void TAcquisitions::ClearTraces() {
    m_lastTime = 0;
    m_liveTimes.clear();
    m_liveTimes.push_back(0);
    m_view->ClearTraces();
}

void TAcquisitions::AddTracePoint(int trace, double time, double value) {
    const double max = m_traces[Index(trace)].Max;
    m_view->AppendTracePoint(trace, time, max != 0 ? value * 100 / max : value);
    if (trace == 0)
        m_lastTime = time;
}

void TAcquisitions::SampleTraces() {
    const qint64 now = m_clock();
    const double step = m_lastTime == 0 ? 0.001 : std::abs(static_cast<double>(now - m_previousMs)) / 1000.0;
    m_previousMs = now;
    const double time = m_lastTime + step;
    const QByteArray line = TraceDataLine(time, m_measures);
    if (!m_playback) {
        const auto& table = TraceTable();
        for (int i = 0; i < kTraceCount; ++i)
            AddTracePoint(i, time, table[Index(i)].Value(m_measures));
        m_liveTimes.push_back(time);
    }
    WriteTraceLine(line);
    if (!m_playback) {
        bool moved = false;
        while (m_liveTimes.size() > 1 && m_liveTimes.back() - m_liveTimes.front() > kChartWindowSeconds) {
            m_liveTimes.pop_front();
            m_view->DeleteFirstPoints();
            moved = true;
        }
        if (moved)
            m_view->SetTimeAxis(m_liveTimes.front(), m_liveTimes.back());
    }
}

void TAcquisitions::WriteTraceLine(const QByteArray& line) {
    if (!m_recording)
        return;
    const bool ok = m_traceFile.write(line + kLineEnd) == line.size() + kLineEnd.size() && m_traceFile.flush();
    if (!ok && !m_writeFailureTold) {
        m_writeFailureTold = true;
        emit TraceWriteFailed(m_traceFile.errorString());
    }
}

// ---------------------------------------------------------------- recording

void TAcquisitions::SetRecording(bool on) {
    if (on && !m_recording) {
        if (m_playback || !StartRecording()) {
            // Not started: both buttons back as they were before the attempt.
            m_savePressed = false;
            m_loadEnabled = !m_playback;
            UpdateButtons();
            return;
        }
    } else if (m_recording && !on) {
        StopRecording();
    }
    m_recording = on;
    m_savePressed = on;
    UpdateButtons();
    emit RecordingChanged(on);
}

bool TAcquisitions::StartRecording() {
    m_loadEnabled = false;
    m_loadPressed = false;
    UpdateButtons();
    ClearTraces();
    m_view->ResetTraceAxes();
    emit LambdaChartRestart();
    m_traceFile.setFileName(m_traceFileName);
    if (!m_traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_view->ShowError(m_traceFileName + QStringLiteral(": ") + m_traceFile.errorString());
        return false;
    }
    m_writeFailureTold = false;
    const QByteArray header = TraceHeaderLine() + kLineEnd;
    if (m_traceFile.write(header) != header.size() || !m_traceFile.flush()) {
        m_view->ShowError(m_traceFileName + QStringLiteral(": ") + m_traceFile.errorString());
        m_traceFile.close();
        return false;
    }
    m_view->ShowRecorderState(TRecorderState::Recording,
                              tr("Display") + tr(": ") + tr("saving to ") + m_traceFileName);
    return true;
}

void TAcquisitions::StopRecording() {
    m_traceFile.write(TraceScalingLine(m_traces));
    m_traceFile.close();
    m_view->ShowRecorderState(TRecorderState::Idle, tr("Display"));
    m_loadEnabled = true;
    m_loadPressed = false;
    UpdateButtons();
}

// ---------------------------------------------------------------- playback

QString TAcquisitions::InvalidFileText() const {
    return QFileInfo(m_traceFileName).fileName() + QLatin1Char(' ') + tr("is not a valid file.");
}

void TAcquisitions::SetPlayback(bool on) {
    if (on && !m_playback) {
        if (m_recording || !StartPlayback()) {
            m_loadPressed = false;
            UpdateButtons();
            return;
        }
    } else if (m_playback && !on) {
        StopPlayback();
    }
    m_playback = on;
    m_loadPressed = on;
    UpdateButtons();
    emit PlaybackChanged(on);
}

bool TAcquisitions::ReadPlaybackData(double& last) {
    ClearTraces();
    const TTraceError error = ReadTraceData(
        m_traceFileName, [this](int trace, double time, double value) { AddTracePoint(trace, time, value); }, last);
    return !error.Failed();
}

bool TAcquisitions::StartPlayback() {
    const TTraceSettings before = m_traces;
    double last = 0;
    if (ReadTraceHeader(m_traceFileName, m_traces).Failed() || !ReadPlaybackData(last)) {
        m_view->ShowError(InvalidFileText());
        return false;
    }
    for (int i = 0; i < kTraceCount; ++i)
        if (m_traces[Index(i)].Max != before[Index(i)].Max || m_traces[Index(i)].Shown != before[Index(i)].Shown)
            m_view->TraceSettingChanged(i);
    m_saveEnabled = false;
    m_savePressed = false;
    UpdateButtons();
    m_view->SetTimeAxis(0, last);
    m_view->ShowRecorderState(TRecorderState::Playback,
                              tr("Display") + tr(": ") + QFileInfo(m_traceFileName).fileName());
    return true;
}

void TAcquisitions::StopPlayback() {
    ClearTraces();
    m_view->ResetTraceAxes();
    m_view->ShowRecorderState(TRecorderState::Idle, tr("Display"));
    m_saveEnabled = m_standard;
    m_savePressed = false;
    UpdateButtons();
}

bool TAcquisitions::ReloadTrace() {
    if (!m_playback)
        return false;
    double last = 0;
    if (!ReadPlaybackData(last)) {
        m_view->ShowError(InvalidFileText());
        return false;
    }
    return true;
}

} // namespace ambrel
