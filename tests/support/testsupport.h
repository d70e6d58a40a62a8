#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Helpers shared by the tests: real input files, and checks on real output.
namespace testsupport {

// Path of the test-only stand-in encoder built with the tests.
QString standinEncoder();

// Path of Debian's lame, or the empty text when it is not installed.
QString realLame();

// Folder that holds the built program and its help file.
QString binDir();

// The layout of a WAV file holding a sine tone.
struct WavLayout {
    double seconds = 0.3;
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;             // 8 (unsigned), 16, 24 or 32
    bool floatSamples = false; // 32-bit float
    bool extensible = false;   // WAVE_FORMAT_EXTENSIBLE
    bool rf64 = false;         // RF64 with a ds64 chunk
    // Whole chunks (id, size, body, pad byte) before and after the data chunk.
    QByteArray chunksBefore{}, chunksAfter{};
    // Data bytes the header declares, when it is to differ from those written.
    qint64 declaredDataBytes = -1;
};

// One chunk: its id, its size, its body and, for an odd size, the pad byte.
QByteArray chunk(const QByteArray &id, const QByteArray &body);

// The bytes of a WAV file in the given layout.
QByteArray wavFile(const WavLayout &layout);

// Writes bytes to a file; false when it cannot be written.
bool writeFile(const QString &path, const QByteArray &bytes);

// Writes a 16-bit PCM stereo WAV file holding a sine tone. Returns false when the
// file cannot be written.
bool writeToneWav(const QString &path, double seconds, int sampleRate = 44100,
                  double frequency = 440.0);

// True when the file starts with an MP3 frame sync (or an ID3v2 tag followed by
// one) and its size is plausible for the given duration at 32 to 320 kbps.
bool looksLikeMp3(const QString &path, double seconds);

} // namespace testsupport
