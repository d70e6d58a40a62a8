#pragma once

namespace ui {
// The program's start: shows the main window, whose load restores the saved
// choices or creates the settings file.
void Main();
} // namespace ui
