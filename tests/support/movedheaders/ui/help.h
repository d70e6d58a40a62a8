// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moved: the help wrapper now lives in ui/dialogs/, its test stand-in in tests/support/.
// This forwarding header goes once nothing includes the old path any more.

#include "../../recordedhelprequests.h"
#include "ui/dialogs/help.h"

namespace ui {
using testsupport::RecordedHelpRequests;
} // namespace ui
