#pragma once
// The table of the workbench's windows, one row each, in the order the program creates
// them. Adding a window is a folder under src/ui/ and its row here.

#include "ui/main/windowmodule.h"

#include <span>

namespace ambrel::app {

std::span<const ui::TWindowModule> WindowModules();

} // namespace ambrel::app
