#pragma once
// What the recorder needs of the meters window: its chart of 41 traces, the caption and
// background that tell the recorder's state, the Save and Load buttons, the minimum and
// maximum marks of its meters and the error box. The meters window implements it; every
// operation does nothing by default, so the command-line tool and the tests override only
// what they look at.

#include <QString>

namespace ambrel {

enum class TRecorderState { Idle, Recording, Playback };

class TTraceView {
public:
    virtual ~TTraceView() = default;
    // Every trace emptied, then one point (0, 0) in each.
    virtual void ClearTraces() {}
    // Time axis 0 to 100, value axis 0 to 100.
    virtual void ResetTraceAxes() {}
    // Appends a point; `percent` is already scaled to the trace's maximum.
    virtual void AppendTracePoint(int /*trace*/, double /*time*/, double /*percent*/) {}
    // Drops the oldest point of every trace (the chart keeps the last 100 s).
    virtual void DeleteFirstPoints() {}
    virtual void SetTimeAxis(double /*from*/, double /*to*/) {}
    // A trace's maximum or shown flag changed (a loaded scaling line).
    virtual void TraceSettingChanged(int /*trace*/) {}
    // Caption ("Display" ...) and the chart background's end colour: navy when idle,
    // maroon while recording, olive while playing back.
    virtual void ShowRecorderState(TRecorderState /*state*/, const QString& /*caption*/) {}
    virtual void SetSaveButton(bool /*enabled*/, bool /*pressed*/) {}
    virtual void SetLoadButton(bool /*enabled*/, bool /*pressed*/) {}
    // The checks of the "Standard" and "Minimums" menu items.
    virtual void ShowAcquisitionMode(bool /*standard*/, bool /*minimums*/) {}
    // The minimum/maximum marks of the gas pressure, gas and water temperature and MAP meters.
    virtual void ResetMeterMarks() {}
    virtual void ShowError(const QString& /*text*/) {}
};

} // namespace ambrel
