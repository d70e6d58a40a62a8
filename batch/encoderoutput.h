// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace batch {

// The encoder's own messages out of what it wrote to its error output, for the
// failure report. The encoder writes for a terminal: a banner, what it is about
// to do, a progress table redrawn in place with carriage returns and cursor
// control sequences, a histogram, and somewhere among them (often on the same
// terminal line as the table) the message that says what went wrong.
namespace encoderoutput {

// At most this many of the last message lines are kept.
inline constexpr int kMaxLines = 5;

// The message lines of raw error output, oldest first, joined by "\n": control
// sequences removed, each piece of text that a carriage return, a cursor
// movement or an erase put on the screen taken as a line of its own, and the
// banner, status, progress, histogram and summary lines left out, as are the
// warnings that never say why a run failed (an option ignored, a filter off). With cut, the
// output's beginning was dropped and its first line is incomplete, so it goes.
QString messageLines(const QByteArray &raw, bool cut = false);

} // namespace encoderoutput

} // namespace batch
