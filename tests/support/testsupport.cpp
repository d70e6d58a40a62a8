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

QByteArray chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray out = id;
    appendLe32(out, static_cast<quint32>(body.size()));
    out.append(body);
    if (body.size() % 2)
        out.append('\0');
    return out;
}

QByteArray wavFile(const WavLayout &layout)
{
    const int bytesPerSample = layout.bits / 8;
    const auto fullScale = static_cast<double>((qint64(1) << (layout.bits - 1)) - 1);
    const auto frames = static_cast<qint64>(layout.seconds * layout.sampleRate);
    QByteArray data;
    data.reserve(frames * layout.channels * bytesPerSample);
    for (qint64 i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / layout.sampleRate;
        const double v = 0.3 * std::sin(2.0 * std::numbers::pi * 440.0 * t);
        for (int c = 0; c < layout.channels; ++c) {
            if (layout.floatSamples) {
                char b[4];
                qToLittleEndian(static_cast<float>(v), b);
                data.append(b, 4);
            } else if (layout.bits == 8) {
                data.append(static_cast<char>(static_cast<quint8>(128 + std::lround(v * 127))));
            } else {
                const auto sample = static_cast<qint64>(v * fullScale);
                for (int b = 0; b < bytesPerSample; ++b)
                    data.append(static_cast<char>((sample >> (8 * b)) & 0xFF));
            }
        }
    }

    const auto blockAlign = static_cast<quint16>(layout.channels * bytesPerSample);
    QByteArray fmt;
    appendLe16(fmt, layout.extensible ? 0xFFFE : layout.floatSamples ? 3 : 1);
    appendLe16(fmt, static_cast<quint16>(layout.channels));
    appendLe32(fmt, static_cast<quint32>(layout.sampleRate));
    appendLe32(fmt, static_cast<quint32>(layout.sampleRate) * blockAlign);
    appendLe16(fmt, blockAlign);
    appendLe16(fmt, static_cast<quint16>(layout.bits));
    if (layout.extensible) {
        appendLe16(fmt, 22);
        appendLe16(fmt, static_cast<quint16>(layout.bits));
        appendLe32(fmt, layout.channels == 1 ? 4 : 3); // front centre; front left and right
        appendLe16(fmt, layout.floatSamples ? 3 : 1);    // the sub-format's GUID...
        fmt.append(QByteArray::fromHex("000000001000800000aa00389b71"));
    } else if (layout.floatSamples) {
        appendLe16(fmt, 0);
    }

    const qint64 declared = layout.declaredDataBytes >= 0 ? layout.declaredDataBytes : data.size();
    QByteArray dataChunk = chunk("data", data);
    QByteArray body = "WAVE";
    if (layout.rf64) {
        QByteArray ds64;
        char b[8];
        qToLittleEndian<quint64>(0, b); // RIFF size: not looked at
        ds64.append(b, 8);
        qToLittleEndian<quint64>(static_cast<quint64>(declared), b);
        ds64.append(b, 8);
        qToLittleEndian<quint64>(static_cast<quint64>(frames), b);
        ds64.append(b, 8);
        appendLe32(ds64, 0);
        body += chunk("ds64", ds64);
        qToLittleEndian<quint32>(0xFFFFFFFFu, dataChunk.data() + 4);
    } else {
        qToLittleEndian<quint32>(static_cast<quint32>(declared), dataChunk.data() + 4);
    }
    body += chunk("fmt ", fmt) + layout.chunksBefore + dataChunk + layout.chunksAfter;
    QByteArray file = layout.rf64 ? "RF64" : "RIFF";
    appendLe32(file, layout.rf64 ? 0xFFFFFFFFu : static_cast<quint32>(body.size()));
    return file + body;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

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
