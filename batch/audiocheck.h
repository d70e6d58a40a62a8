// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace batch {

// Checks on an encoder's output against its input, made after the encoder ended
// with exit code 0, which it also does on inputs that give no usable MP3. The
// encoder reads its input with libsndfile: a file libsndfile cannot open it takes
// for bare samples and encodes as noise. Of a file cut short it encodes what
// there is, and of a file without samples an MP3 that holds no sound.
//
// One rule for every layout: the length of the sound the MP3 holds (its
// information frame's count, less the encoder's delay and padding, or its frames
// counted one by one) against the length the source declares (its header's own
// figure where libsndfile gives what is there instead: RIFF, RIFX, RF64, Wave64,
// AIFF and AU; else libsndfile's count, which for FLAC and MPEG is the declared
// one). Lengths are compared in seconds, since the encoder may resample. The
// checks read headers, and the frame headers of an MP3 without an information
// frame; no samples are decoded (libsndfile may read further into an MPEG source
// to count its frames). Limit: of other layouts libsndfile gives only what is
// there (PAF, NIST, VOC, IRCAM, MAT, PVF, AVR, MPC2K), so a cut one passes.
//
// Nothing here waits on another process: a source or MP3 path that names a named
// pipe, a device or a socket is never opened (see platform::openForReading). The
// calls that can block are stat(2), which opens nothing; open(2) of a regular
// file, with O_NONBLOCK should a pipe have taken its place; fstat(2), lseek(2),
// read(2) and close(2) of that file, by Qt and by libsndfile: they wait on the
// disk only. Limit: a file system that stops answering (a lost network mount)
// stalls them, as it stalled the encoder reading the same file just before.
// A source that is no regular file cannot be read a second time (the encoder
// took what a pipe held), so its MP3 is judged alone: it passes when it holds
// sound. An MP3 path that is no regular file is kept and reported, unread.
namespace audiocheck {

// A shortfall the check lets pass: the MP3 holds whole frames, its count in an
// information frame is exact only to the encoder's rounding when it resamples,
// and libsndfile's count of an MPEG source without one is an estimate. So the
// MP3 may hold up to one of its frames (26 ms at 44.1 kHz, 72 ms at 8 kHz) and
// this much less than the source declares.
inline constexpr double kRoundingSeconds = 0.001;

// A declared size of sound at or above this many bytes in a 32-bit field (2 GiB
// less 16 MiB) that the file does not hold is taken for the placeholder that a
// writer which cannot go back leaves (0x7FFFF000, 0x7FFFFFFF, 0xFFFFFFFF; sox's
// AIFF 0x7F000000): the source is then judged by what libsndfile reads of it. A
// real WAV file cut short from more than 2 GiB of sound is judged the same way.
inline constexpr qint64 kPlaceholderBytes = 0x7F000000;

// "X s of Y s" for two frame counts at rate, to two decimals: a shortfall that
// fails a row is longer than an MP3 frame (24 ms or more), so the two figures
// never read the same.
QString heldOfDeclared(qint64 held, qint64 declared, int rate);

// Why a row whose encoder ended with exit code 0 failed all the same.
struct Failure {
    QString why;          // for the report, after the row's path
    bool keepMp3 = false; // the MP3 holds real audio, only less of it
};

// The checks of one encoded row in order: the MP3 is there, the input is a file
// the encoder reads as sound, the MP3 holds sound, and as much as the input
// declares. nullopt when all pass. rawInput: the encoder was told to read bare
// samples, so any file is a fit input and only the MP3 is judged.
std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput = false);

} // namespace audiocheck

} // namespace batch
