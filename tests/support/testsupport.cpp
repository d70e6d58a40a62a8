// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace testsupport {

QString standinEncoder() { return QStringLiteral(PURLWAVE_STANDIN_ENCODER); }

QString realLame() { return QStandardPaths::findExecutable(QStringLiteral("lame")); }

QString binDir() { return QStringLiteral(PURLWAVE_BIN_DIR); }

namespace {
template <typename T>
void appendLe(QByteArray &out, T v)
{
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    out.append(b, sizeof(T));
}
} // namespace

QByteArray chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray out = id;
    appendLe<quint32>(out, static_cast<quint32>(body.size()));
    return out + body + QByteArray(body.size() % 2, '\0');
}

QByteArray wavFile(const WavLayout &layout)
{
    const auto frames = static_cast<qint64>(layout.seconds * layout.sampleRate);
    QByteArray data;
    for (qint64 i = 0; i < frames * 2; ++i) {
        const double v = std::sin(2.0 * std::numbers::pi * 440.0 * double(i / 2) / layout.sampleRate);
        appendLe<qint16>(data, static_cast<qint16>(v * 0.3 * 32767));
    }
    QByteArray fmt;
    appendLe<quint16>(fmt, 1); // PCM
    appendLe<quint16>(fmt, 2); // channels
    appendLe<quint32>(fmt, static_cast<quint32>(layout.sampleRate));
    appendLe<quint32>(fmt, static_cast<quint32>(layout.sampleRate) * 4);
    appendLe<quint16>(fmt, 4); // bytes of a sample frame
    appendLe<quint16>(fmt, 16);
    QByteArray dataChunk = chunk("data", data);
    if (layout.declaredDataBytes >= 0)
        qToLittleEndian<quint32>(static_cast<quint32>(layout.declaredDataBytes), dataChunk.data() + 4);
    const QByteArray body = "WAVE" + chunk("fmt ", fmt) + layout.chunksBefore + dataChunk
                            + layout.chunksAfter;
    QByteArray file = "RIFF";
    appendLe<quint32>(
        file, static_cast<quint32>(layout.declaredRiffBytes >= 0 ? layout.declaredRiffBytes : body.size()));
    return file + body;
}

QByteArray soundFile(int format, double seconds, int sampleRate, int channels)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("sound")));
    SF_INFO info{0, sampleRate, channels, format, 0, 0};
    SNDFILE *sound = sf_open(QFile::encodeName(file.fileName()).constData(), SFM_WRITE, &info);
    const auto frames = static_cast<sf_count_t>(seconds * sampleRate);
    std::vector<double> samples;
    for (sf_count_t i = 0; i < frames * channels; ++i)
        samples.push_back(0.3 * std::sin(2.0 * std::numbers::pi * 440.0 * double(i / channels) / sampleRate));
    if (!sound)
        return {};
    const bool written = sf_writef_double(sound, samples.data(), frames) == frames;
    if (sf_close(sound) != 0 || !written)
        return {};
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray soxTone(const QString &options, double seconds, bool toPipe)
{
    QTemporaryDir dir;
    const QString out = toPipe ? QStringLiteral("-") : dir.filePath(QStringLiteral("tone"));
    QProcess sox;
    sox.start(QStringLiteral("sox"), QStringList{QStringLiteral("-n")} + QProcess::splitCommand(options)
                                         + QStringList{out, QStringLiteral("synth"), QString::number(seconds),
                                                       QStringLiteral("sine"), QStringLiteral("440")});
    if (!sox.waitForFinished(30000) || sox.exitStatus() != QProcess::NormalExit || sox.exitCode() != 0)
        return {};
    QFile file(out);
    return toPipe                           ? sox.readAllStandardOutput()
           : file.open(QIODevice::ReadOnly) ? file.readAll()
                                            : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeToneWav(const QString &path, double seconds)
{
    return writeFile(path, wavFile({.seconds = seconds}));
}

bool looksLikeMp3(const QString &path, double seconds)
{
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    qsizetype pos = 0;
    if (data.startsWith("ID3") && data.size() >= 10) {
        // Tag size: four 7-bit bytes, plus the 10-byte header.
        const auto b = reinterpret_cast<const uchar *>(data.constData());
        pos = 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]);
    }
    const bool sync = data.size() >= pos + 2 && uchar(data[pos]) == 0xFF
                      && (uchar(data[pos + 1]) & 0xE0) == 0xE0;
    return sync && data.size() >= seconds * 32000 / 8 * 0.5
           && data.size() <= seconds * 320000 / 8 * 1.5 + 4096;
}

} // namespace testsupport
