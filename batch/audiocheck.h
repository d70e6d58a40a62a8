// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace batch {

// Checks on an encoder's input and output that read headers only (a few hundred
// bytes a file, nothing decoded). The encoder ends with exit code 0 on inputs
// that give no usable MP3: it reads any file that does not begin with a header
// it knows as raw samples, encodes a WAV file's declared length of nothing into
// a file that holds only its information frame, and encodes what there is of a
// WAV file cut short.
namespace audiocheck {

// What the head of an input file says.
struct Source {
    enum class Kind {
        Unreadable, // missing, or cannot be opened: nothing to judge
        Folder,
        Empty,      // 0 bytes
        NotAudio,   // no header the encoder reads: it takes the bytes for raw samples
        OtherAudio, // AIFF, FLAC, Ogg or MPEG audio, which the encoder reads by content
        Wave,       // RIFF or RF64 WAVE
    };
    Kind kind = Kind::Unreadable;
    // Wave only. Bytes of sample data the header declares (-1: not given, as a
    // file written while recording may leave it) and bytes the file holds of
    // them; one block is one sample of every channel.
    qint64 declaredBytes = -1;
    qint64 presentBytes = 0;
    qint64 blockBytes = 0;
    qint64 bytesPerSecond = 0; // 0 when the header gives no rate
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

// Why a row whose encoder ended with exit code 0 failed all the same.
struct Failure {
    QString why;          // for the report, after the row's path
    bool keepMp3 = false; // the MP3 holds real audio, only less of it
};

// The checks of one encoded row in order: the MP3 is there, the input is a file
// the encoder reads as audio and holds samples, all of them, and the MP3 holds
// audio. nullopt when all pass. rawInput: the encoder was told to read raw
// samples, so an input without a header is no fault.
std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput = false);

} // namespace audiocheck

} // namespace batch
