// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace batch {

// Checks on an encoder's input and output, made after the encoder ended with
// exit code 0, which it also does on inputs that give no usable MP3. The encoder
// reads its input with libsndfile: a file libsndfile cannot open it takes for
// bare samples and encodes as noise. Of a WAV file cut short it encodes what
// there is, and of a file without samples an MP3 that holds no sound. The checks
// read headers: a few KB of a WAV file, no samples decoded (libsndfile may read
// further into an MPEG source to count its frames).
namespace audiocheck {

// What an input file holds, as the encoder reads it.
struct Source {
    enum class Kind {
        Unreadable, // missing, or cannot be opened: nothing to judge
        Folder,
        Empty,    // 0 bytes
        NotAudio, // no sound file the encoder reads: it encodes the bytes as noise
        Audio,
    };
    Kind kind = Kind::Unreadable;
    // Audio only: sample frames a second, the frames the encoder reads (-1: not
    // known before reading them all, as for an MPEG source), and the frames a WAV
    // header declares (-1: it does not say, or no more than are there).
    int rate = 0;
    qint64 frames = -1;
    qint64 declaredFrames = -1;
};

Source inspectSource(const QString &path);

// What the head of an MP3 file says.
enum class Mp3 {
    Missing,
    Empty,
    NoAudio, // no MPEG audio frame, or only an information frame that counts no samples
    Audio,
};

Mp3 inspectMp3(const QString &path);

// "X s of Y s" for two frame counts at rate, with as many decimals (two or
// more) as it takes for different counts to read differently.
QString heldOfDeclared(qint64 held, qint64 declared, int rate);

// Why a row whose encoder ended with exit code 0 failed all the same.
struct Failure {
    QString why;          // for the report, after the row's path
    bool keepMp3 = false; // the MP3 holds real audio, only less of it
};

// The checks of one encoded row in order: the MP3 is there, the input is a file
// the encoder reads as sound and holds samples, all of them, and the MP3 holds
// sound. nullopt when all pass. rawInput: the encoder was told to read bare
// samples, so any file is a fit input.
std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput = false);

} // namespace audiocheck

} // namespace batch
