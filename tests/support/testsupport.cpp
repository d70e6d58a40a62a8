#include "testsupport.h"

#include <QFile>
#include <QStandardPaths>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace testsupport {

QString standinEncoder() { return QStringLiteral(PURLWAVE_STANDIN_ENCODER); }

QString realLame() { return QStandardPaths::findExecutable(QStringLiteral("lame")); }

QString binDir() { return QStringLiteral(PURLWAVE_BIN_DIR); }

namespace {
void appendLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
void appendLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
} // namespace

bool writeToneWav(const QString &path, double seconds, int sampleRate, double frequency)
{
    const quint16 channels = 2;
    const quint16 bits = 16;
    const auto frames = static_cast<quint32>(seconds * sampleRate);
    const quint32 dataBytes = frames * channels * (bits / 8);

    QByteArray wav;
    wav.reserve(static_cast<int>(44 + dataBytes));
    wav.append("RIFF");
    appendLe32(wav, 36 + dataBytes);
    wav.append("WAVEfmt ");
    appendLe32(wav, 16);
    appendLe16(wav, 1); // PCM
    appendLe16(wav, channels);
    appendLe32(wav, static_cast<quint32>(sampleRate));
    appendLe32(wav, static_cast<quint32>(sampleRate) * channels * (bits / 8));
    appendLe16(wav, channels * (bits / 8));
    appendLe16(wav, bits);
    wav.append("data");
    appendLe32(wav, dataBytes);
    for (quint32 i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const auto s = static_cast<qint16>(12000.0 * std::sin(2.0 * std::numbers::pi * frequency * t));
        for (int c = 0; c < channels; ++c)
            appendLe16(wav, static_cast<quint16>(s));
    }

    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

bool looksLikeMp3(const QString &path, double seconds)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    qsizetype pos = 0;
    if (data.startsWith("ID3") && data.size() >= 10) {
        // Tag size: four 7-bit bytes, plus the 10-byte header.
        const auto b = reinterpret_cast<const uchar *>(data.constData());
        pos = 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]);
    }
    if (data.size() < pos + 2)
        return false;
    const auto b0 = static_cast<uchar>(data[pos]);
    const auto b1 = static_cast<uchar>(data[pos + 1]);
    if (b0 != 0xFF || (b1 & 0xE0) != 0xE0)
        return false;
    const double minBytes = seconds * 32000 / 8 * 0.5;
    const double maxBytes = seconds * 320000 / 8 * 1.5 + 4096;
    return data.size() >= minBytes && data.size() <= maxBytes;
}

} // namespace testsupport
