// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Real input files and checks on real output, shared by the tests and the benchmarks.
namespace testsupport {

// The test-only stand-in encoder; Debian's lame, or the empty text when it is not installed; the
// folder of the built program and its help file.
QString standinEncoder();
QString realLame();
QString binDir();

// The layout of a 16-bit PCM stereo WAV file holding a 440 Hz sine tone.
struct WavLayout {
    double seconds = 0.3;
    int sampleRate = 44100;
    // Whole chunks (see chunk()) before and after the data chunk.
    QByteArray chunksBefore{}, chunksAfter{};
    // Data bytes and RIFF bytes the header declares, when they are to differ from those written.
    qint64 declaredDataBytes = -1, declaredRiffBytes = -1;
};

// One chunk: its id, its size, its body and, for an odd size, the pad byte.
QByteArray chunk(const QByteArray &id, const QByteArray &body);
QByteArray wavFile(const WavLayout &layout);
// A 440 Hz tone as libsndfile writes it in format (SF_FORMAT_...); empty when it cannot.
QByteArray soundFile(int format, double seconds = 0.3, int sampleRate = 44100, int channels = 2);

// A 440 Hz tone as sox writes it with the output options (type, rate, channels, encoding), to a
// file, or with toPipe to a pipe, where it cannot go back to fill in sizes; empty when sox fails.
QByteArray soxTone(const QString &options, double seconds = 2, bool toPipe = false);

// False when the file cannot be written.
bool writeFile(const QString &path, const QByteArray &bytes);
// Empty when the file cannot be read.
QByteArray fileBytes(const QString &path);
// A 16-bit PCM stereo WAV file at 44.1 kHz.
bool writeToneWav(const QString &path, double seconds);

// True when the file starts with an MP3 frame sync (or an ID3v2 tag followed by
// one) and its size is plausible for the given duration at 32 to 320 kbps.
bool looksLikeMp3(const QString &path, double seconds);

} // namespace testsupport
