// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moved: the window now lives in ui/windows/, in namespace ui.
// This forwarding header goes once nothing includes the old path any more.

#include "ui/windows/frmmain.h"

using ui::frmMain;
