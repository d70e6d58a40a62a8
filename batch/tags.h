// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace batch {

// The tags of a WAV file carried into its MP3 file, which the encoder leaves
// out: it writes none of what a WAV file holds. The tags go into an ID3v2.3 tag
// at the head of the MP3 file, the version that every player and file manager
// reads (2.4 is unknown to some that are still common). Text in it is Latin-1
// when it is plain ASCII, else UTF-16, which no reader takes for another code
// page.
//
// What a WAV file holds, in this order of precedence:
// - an "id3 " or "ID3 " chunk: its ID3v2 frames as they are, pictures included
//   (a date in it becomes the year, day and time frames of version 2.3);
// - LIST/INFO chunks before and after the data (the first holding a field wins):
//   INAM title (TIT2), IART artist (TPE1), IPRD album (TALB), ICRD date (TDRC,
//   when it is a date as YYYY[-MM[-DD[ hh:mm[:ss]]]], else TXXX "Creation
//   date"), ITRK or else IPRT track (TRCK), IGNR genre (TCON), ICMT comment
//   (COMM, language "eng"), ICOP copyright (TCOP), ITCH technician (TENC, "encoded
//   by"), IMED medium (TMED), and each other field in a TXXX frame named after it
//   (ISFT "Software", IENG "Engineer", ISBJ "Subject", ...; one unknown here is
//   named by its chunk id);
// - a "bext" chunk: its description, originator, originator reference,
//   origination date and time, each in a TXXX frame ("BWF Description", ...);
//   the description is also the comment and the origination the date (TDRC),
//   when the two above give none.
// A frame of a later source is left out when an earlier one gave a frame of its
// kind (its id; for TXXX and COMM also their description, for a picture its type).
// INFO and bext text is UTF-8 when it is valid UTF-8 and holds a byte of 0x80 or
// more; else each byte is a character of Windows-1252, the Latin-1 that Windows
// programs write (0x80 to 0x9F are its quotes, dashes and euro sign).
//
// What the user typed wins: the frames the encoder wrote itself (asked for by
// options such as --tt or --tg) stay as they are, and no carried frame of their
// kind is added. With --id3v1-only the user asks for no ID3v2 tag, and nothing
// is carried. Tags never go through the encoder's command line: in the C locale
// it cuts a text at its first letter that is not ASCII.
//
// carryTags is for an MP3 file the encoder has just written and the checks
// passed. params: the encoder parameters of the run. A source without tags
// leaves the MP3 file as it is. When a tag cannot be written, the MP3 file stays
// as the encoder wrote it (room for the tag is made at its end before anything
// moves, so a full disk stops the write first) and the answer says what was not
// carried, and why; empty when all was carried or there was nothing to carry.
// The tag is read back after the write: a frame of version 2.4 that 2.3 has no
// place for (such as TMOO, the mood) is named there too.
// The tag is written into the file in place, so a kill while its audio moves (a
// few ms) leaves it damaged; an input/output error from the disk at that moment
// does too: the answer says so, and damaged (when given) is set. The batch writes
// into a new file that replaces the MP3 only when good, so such a file is dropped.
namespace tags {

QString carryTags(const QString &source, const QString &mp3, const QString &params, bool *damaged = nullptr);

} // namespace tags

} // namespace batch
