// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ui {

// From now on, the first settings write that fails for a reason the user should
// know of (settings::Cinifile::setFailedWriteListener) brings up one message box
// naming the file, why, and what to do; later failures say nothing more until
// this is called again. The choices are saved at every keystroke: a box per key
// would be worse than none. The box comes once control is back in the event
// loop, not inside the keystroke or the run that wrote.
void announceFailedSettingsWrites();

} // namespace ui
