#pragma once

#include <QString>

// Helpers shared by the tests: real input files, and checks on real output.
namespace testsupport {

// Path of the test-only stand-in encoder built with the tests.
QString standinEncoder();

// Path of Debian's lame, or the empty text when it is not installed.
QString realLame();

// Folder that holds the built program and its help file.
QString binDir();

// Writes a 16-bit PCM stereo WAV file holding a sine tone. Returns false when the
// file cannot be written.
bool writeToneWav(const QString &path, double seconds, int sampleRate = 44100,
                  double frequency = 440.0);

// True when the file starts with an MP3 frame sync (or an ID3v2 tag followed by
// one) and its size is plausible for the given duration at 32 to 320 kbps.
bool looksLikeMp3(const QString &path, double seconds);

} // namespace testsupport
