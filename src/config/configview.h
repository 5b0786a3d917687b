#pragma once
// What the configuration model needs of the windows, as one small interface whose
// default does nothing: the command-line tool and the tests run the model without any.
// The main window (and the special-settings window through it) implements it.

#include <QString>

namespace ambrel {

class TDataMap;

// The page in front, which decides the blocks that a page upload reads and a page
// download writes. The special-settings pages win while that window is visible.
enum class TConfigPage {
    None,
    SpecialGeneral,
    SpecialAdaptivity,
    General,
    Functions,
    Injectors,
    PetrolMap,
    GasMap,
    Emulation,
    FuelTrim,
    Correction,
    Drivability,
    Advance,
    Sensors,
};

class TConfigView {
public:
    virtual ~TConfigView() = default;

    virtual TConfigPage VisiblePage() const { return TConfigPage::None; }
    // Every editing control into the model, and the model back into the controls (with
    // the special-settings window and the dependent controls).
    virtual void ReadFromGUI(TDataMap&) {}
    virtual void RefreshGUI(const TDataMap&) {}
    // After a read of blocks 2, 5, 6, 7, 9, 10, 12 or 13: controls that depend on others.
    virtual void RefreshDependentControls() {}
    // A map arrived or was restored: repaint the grids (and the map check window).
    virtual void RepaintMaps() {}
    // The strategy changed: the pages are rebuilt for it.
    virtual void StrategyChanged(int /*strategyFlag*/) {}
    // Whether some cylinder drives another cylinder's injector (the advance button).
    virtual void SetInjectorSequenceAdvanced(bool) {}
    // The Drivability page asks for the injection sequence too while the engine runs.
    virtual void RequestSequence() {}

    // The shared progress and message dialog.
    virtual void ShowProgress(const QString& /*text*/, int /*percent*/) {}
    virtual void SetProgress(int /*percent*/) {}
    virtual void HideProgress() {}
    virtual void ShowMessage(const QString& /*text*/, int /*milliseconds*/) {}
    // An error box with an OK button.
    virtual void ShowError(const QString& /*text*/) {}
    // A warning box with an OK button (an edit refused by the range check).
    virtual void ShowWarning(const QString& /*text*/) {}

    virtual void SetTitle(const QString& /*title*/) {}
    // The "Undo" button and menu command.
    virtual void SetUndoEnabled(bool) {}
};

} // namespace ambrel
