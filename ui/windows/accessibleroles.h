// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ui {

// Makes the program's two windows known to screen readers as windows (plain
// widgets, Qt would present them as mere panes), its rules as separators and
// its announcements as notifications.
// Once per program; harmless again.
void installAccessibleRoles();

} // namespace ui
