// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moved: the dialog wrapper now lives in ui/dialogs/, its test stand-in in tests/support/.
// This forwarding header goes once nothing includes the old path any more.

#include "../../recordedmessageboxes.h"
#include "ui/dialogs/messagebox.h"

namespace ui {
using testsupport::RecordedMessageBoxes;
} // namespace ui
