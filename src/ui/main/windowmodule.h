#pragma once
// How a window plugs into the workbench. A window is one row of the composition root's
// module table (src/app/windowmodules.cpp): which window it is, the menu command that
// shows it, where that command sits and how it reads, and a factory that builds the
// window from the context below. The composition root builds the windows once, in the
// order of the table, and connects each command to its window; the main window is not
// touched when a window arrives.

#include "actions.h"

#include <QWidget>
#include <memory>

namespace ambrel {
class TAcquisitions;
class TDataMap;
class TLinkManager;
class TSerialPort;
class TSession;       // the session controller (QtCore), not wired yet: see Session below
class TSettingsStore; // the program's settings store, not wired yet: see Settings below
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TFormDialog;
class TSoftTimers;

// Everything a window may be handed. The objects live for the whole run and outlive
// every window.
struct TWindowContext {
    TLinkManager& Link;
    TSerialPort& SerialPort;  // the TX/RX lights watch its traffic
    TDataMap& Config;         // the one configuration model
    TAcquisitions& Acquisitions;
    TDialogService& Dialogs;  // questions, errors and file dialogs
    TFormDialog& Feedback;    // the shared message and progress dialog
    TSoftTimers& SoftTimers;  // the 40 ms main-loop timers
    QWidget& MainWindow;
    // The session controller (connecting, strategy switch, feature level) once the
    // composition root makes one; null until then.
    TSession* Session = nullptr;
    // The settings store once it exists; until then windows read programsettings.h.
    TSettingsStore* Settings = nullptr;
};

// The windows, in the order the program creates them at start.
enum class TWindowId {
    MapCheck,
    Splash,
    Modify,
    Meters,
    Communications,
    Diagnostics,
    PinOut,
    AutoTune,
    Flasher,
    Banner,
    Resample,
    TestMode,
    Memory,
    SupportedDtc,
    Wizard,
    SpecialSettings,
    Eobd,
    Count
};

struct TWindowModule {
    TWindowId Id;
    // The command that shows the window (TActionId::None: none), its menu, its caption
    // (translated in the menu bar's context, "TFormMain"), shortcut and separator.
    TActionId Action;
    TMenu Menu;
    const char* Caption;
    const char* Shortcut;
    bool SeparatorBefore;
    // Builds the window; null while the window is not written yet (its command stays
    // present and disabled).
    std::unique_ptr<QWidget> (*Create)(const TWindowContext& context);
    // What the command does with the window; null: show it and bring it to the front.
    void (*Activate)(QWidget& window) = nullptr;
    // Shown as soon as it is made (the splash).
    bool ShownAtStart = false;
};

} // namespace ambrel::ui
