#pragma once
// The program's own settings that an installation writes and the windows read. Absent
// values read as an empty folder; the link keeps COM_Port and COM_Autoscan, the
// configuration model CheckRange, the language switcher Language.

#include "link/settings.h"

namespace ambrel::ui {

// Initial folder of the configuration file dialogs ("" = the current folder).
inline QString ConfigFolder(const TSettingsStore& settings) {
    return settings.ReadString(kSettingsKey, QStringLiteral("ConfigFolder"));
}
// Where the program's own files (trouble code lists, meters' pictures) are installed.
inline QString InstallFolder(const TSettingsStore& settings) {
    return settings.ReadString(kSettingsKey, QStringLiteral("InstallFolder"));
}
// Initial folder of the firmware flasher's file dialog.
inline QString FirmwareFolder(const TSettingsStore& settings) {
    return settings.ReadString(kSettingsKey, QStringLiteral("FirmwareFolder"));
}

} // namespace ambrel::ui
