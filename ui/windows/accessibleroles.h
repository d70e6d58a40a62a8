// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ui {

// Makes the program's two windows known to screen readers as windows (plain
// widgets, Qt would present them as mere panes) and its rules as separators.
// Once per program; harmless again.
void installAccessibleRoles();

} // namespace ui
