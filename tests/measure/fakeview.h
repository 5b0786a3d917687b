#pragma once
// A meters window for recorder tests: keeps the points it is given and what it shows.

#include "measure/traceview.h"

#include <QList>
#include <QPointF>
#include <QStringList>

#include <array>

namespace ambrel::test {

class TFakeTraceView final : public TTraceView {
public:
    void ClearTraces() override {
        for (auto& t : Points)
            t = {QPointF(0, 0)};
        ++Clears;
    }
    void ResetTraceAxes() override { TimeAxis = {0, 100}; }
    void AppendTracePoint(int trace, double time, double percent) override {
        Points[static_cast<std::size_t>(trace)] << QPointF(time, percent);
    }
    void DeleteFirstPoints() override {
        for (auto& t : Points)
            if (!t.isEmpty())
                t.removeFirst();
    }
    void SetTimeAxis(double from, double to) override { TimeAxis = {from, to}; }
    void TraceSettingChanged(int trace) override { Changed << trace; }
    void ShowRecorderState(TRecorderState state, const QString& caption) override {
        State = state;
        Caption = caption;
    }
    void SetSaveButton(bool enabled, bool pressed) override {
        SaveEnabled = enabled;
        SavePressed = pressed;
    }
    void SetLoadButton(bool enabled, bool pressed) override {
        LoadEnabled = enabled;
        LoadPressed = pressed;
    }
    void ShowAcquisitionMode(bool standard, bool minimums) override {
        StandardChecked = standard;
        MinimumsChecked = minimums;
    }
    void ResetMeterMarks() override { ++MarkResets; }
    void ShowError(const QString& text) override { Errors << text; }

    std::array<QList<QPointF>, 41> Points{};
    QPair<double, double> TimeAxis{0, 100};
    QList<int> Changed;
    TRecorderState State = TRecorderState::Idle;
    QString Caption;
    bool SaveEnabled = false, SavePressed = false, LoadEnabled = true, LoadPressed = false;
    bool StandardChecked = false, MinimumsChecked = false;
    int MarkResets = 0;
    int Clears = 0;
    QStringList Errors;
};

} // namespace ambrel::test
