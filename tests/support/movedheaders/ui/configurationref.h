// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moved: the window reference now lives in ui/windows/.
// This forwarding header goes once nothing includes the old path any more.

#include "ui/windows/configurationref.h"
