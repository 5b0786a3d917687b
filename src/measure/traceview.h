#pragma once
// What the recorder needs of the meters window: its chart of 41 traces, the caption and
// background that tell the recorder's state, the Save and Load buttons, the minimum and
// maximum marks of its meters and the error box. The meters window implements it; the
// command-line tool runs without one, and tests use a small fake.

#include <QString>

namespace ambrel {

enum class TRecorderState { Idle, Recording, Playback };

class TTraceView {
public:
    virtual ~TTraceView() = default;
    // Every trace emptied, then one point (0, 0) in each.
    virtual void ClearTraces() = 0;
    // Time axis 0 to 100, value axis 0 to 100.
    virtual void ResetTraceAxes() = 0;
    // Appends a point; `percent` is already scaled to the trace's maximum.
    virtual void AppendTracePoint(int trace, double time, double percent) = 0;
    // Drops the oldest point of every trace (the chart keeps the last 100 s).
    virtual void DeleteFirstPoints() = 0;
    virtual void SetTimeAxis(double from, double to) = 0;
    // A trace's maximum or shown flag changed (a loaded scaling line).
    virtual void TraceSettingChanged(int trace) = 0;
    // Caption ("Display" ...) and the chart background's end colour: navy when idle,
    // maroon while recording, olive while playing back.
    virtual void ShowRecorderState(TRecorderState state, const QString& caption) = 0;
    virtual void SetSaveButton(bool enabled, bool pressed) = 0;
    virtual void SetLoadButton(bool enabled, bool pressed) = 0;
    // The checks of the "Standard" and "Minimums" menu items.
    virtual void ShowAcquisitionMode(bool standard, bool minimums) = 0;
    // The minimum/maximum marks of the gas pressure, gas and water temperature and MAP meters.
    virtual void ResetMeterMarks() = 0;
    virtual void ShowError(const QString& text) = 0;
};

} // namespace ambrel
