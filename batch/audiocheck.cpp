// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/audiocheck.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace batch {

namespace audiocheck {

namespace {

// A WAVE file may put any number of chunks before its data; past this many the
// walk gives up and passes no judgement on the file.
constexpr int kMaxChunks = 4096;
// Where an MP3 file's first frame may begin after its ID3v2 tag.
constexpr qint64 kFrameSearchBytes = 4096;
// A WAVE data size that says "not known": written while recording.
constexpr quint32 kUnknownSize = 0xFFFFFFFFu;

quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }
quint64 le64(const char *p) { return qFromLittleEndian<quint64>(p); }
quint32 be32(const char *p) { return qFromBigEndian<quint32>(p); }

QByteArray readAt(QFile &file, qint64 offset, qint64 size)
{
    return file.seek(offset) ? file.read(size) : QByteArray();
}

// Walks the chunks of a RIFF or RF64 WAVE file up to its data chunk.
Source inspectWave(QFile &file, bool rf64)
{
    Source source{.kind = Source::Kind::Wave};
    const qint64 fileSize = file.size();
    std::optional<quint64> ds64DataSize;
    qint64 position = 12;
    for (int chunk = 0; position + 8 <= fileSize; ++chunk) {
        if (chunk == kMaxChunks)
            return {.kind = Source::Kind::Unreadable}; // too long a walk to say "no data"
        const QByteArray head = readAt(file, position, 8);
        if (head.size() < 8)
            break;
        const QByteArray id = head.left(4);
        const quint32 size = le32(head.constData() + 4);
        const qint64 body = position + 8;
        if (id == "fmt ") {
            const QByteArray fmt = readAt(file, body, std::min<quint32>(size, 16));
            if (fmt.size() >= 14) {
                const quint16 channels = le16(fmt.constData() + 2);
                const quint32 rate = le32(fmt.constData() + 4);
                quint16 block = le16(fmt.constData() + 12);
                if (block == 0 && fmt.size() >= 16)
                    block = static_cast<quint16>(channels * ((le16(fmt.constData() + 14) + 7) / 8));
                source.blockBytes = block;
                source.bytesPerSecond = static_cast<qint64>(block) * rate;
            }
        } else if (id == "ds64" && rf64) {
            const QByteArray ds64 = readAt(file, body, 16);
            if (ds64.size() == 16)
                ds64DataSize = le64(ds64.constData() + 8);
        } else if (id == "data") {
            const qint64 available = fileSize - body;
            if (rf64 && size == kUnknownSize && ds64DataSize)
                source.declaredBytes = static_cast<qint64>(
                    std::min<quint64>(*ds64DataSize, std::numeric_limits<qint64>::max()));
            else if (size != kUnknownSize)
                source.declaredBytes = size;
            source.presentBytes = source.declaredBytes < 0 ? available
                                                           : std::min(available, source.declaredBytes);
            return source;
        }
        position = body + size + (size & 1); // chunks are padded to an even length
    }
    return source; // no data chunk: no samples
}

struct FrameHeader {
    bool mpeg1 = false;
    bool mono = false;
    int sampleRate = 0;
    int samplesPerFrame = 0;
    qint64 length = 0; // 0 for free format, whose length the header does not give
};

// A Layer III frame header (the only layer the encoder writes).
std::optional<FrameHeader> frameHeader(const QByteArray &bytes, qsizetype at)
{
    if (at + 4 > bytes.size())
        return std::nullopt;
    const auto b = [&](qsizetype i) { return static_cast<uchar>(bytes[at + i]); };
    if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (b(1) >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (b(1) >> 1) & 3;   // 1: Layer III
    const int bitrateIndex = b(2) >> 4;
    const int rateIndex = (b(2) >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    static constexpr int kBitrates[2][15] = {
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},     // MPEG-2 and 2.5
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}, // MPEG-1
    };
    static constexpr int kRates[3] = {44100, 48000, 32000};
    FrameHeader header;
    header.mpeg1 = version == 3;
    header.mono = (b(3) >> 6) == 3;
    header.sampleRate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    header.samplesPerFrame = header.mpeg1 ? 1152 : 576;
    const int bitrate = kBitrates[header.mpeg1][bitrateIndex] * 1000;
    const int padding = (b(2) >> 1) & 1;
    header.length = bitrate == 0 ? 0 : header.samplesPerFrame / 8 * bitrate / header.sampleRate + padding;
    return header;
}

// An information frame (Xing or Info) stands first and holds no audio of its
// own. It may count the frames after it, and the encoder's extension to it the
// samples of delay and padding among them. nullopt for an audio frame; false for
// an information frame that counts no samples; true for one that counts some or
// does not say.
std::optional<bool> infoFrameSaysAudio(const QByteArray &bytes, qsizetype at, const FrameHeader &header)
{
    const qsizetype tag = at + 4 + (header.mpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17));
    const QByteArray id = bytes.mid(tag, 4);
    if (id != "Xing" && id != "Info")
        return std::nullopt;
    if (tag + 8 > bytes.size())
        return true; // cut off: it does not say
    const quint32 flags = be32(bytes.constData() + tag + 4);
    qsizetype field = tag + 8;
    if (!(flags & 1) || field + 4 > bytes.size())
        return true; // no frame count: it does not say
    const quint32 frames = be32(bytes.constData() + field);
    field += 4 + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
    // The encoder's extension: a 9-byte name, then at byte 21 the delay and the
    // padding in samples, 12 bits each.
    if (field + 24 <= bytes.size() && bytes.mid(field, 4) == "LAME") {
        const auto d = [&](int i) { return static_cast<uchar>(bytes[field + i]); };
        const qint64 delay = (d(21) << 4) | (d(22) >> 4);
        const qint64 padding = ((d(22) & 0x0F) << 8) | d(23);
        return static_cast<qint64>(frames) * header.samplesPerFrame - delay - padding > 0;
    }
    return frames > 0;
}

QString seconds(qint64 bytes, qint64 bytesPerSecond)
{
    return QString::number(static_cast<double>(bytes) / static_cast<double>(bytesPerSecond), 'f', 1);
}

} // namespace

Source inspectSource(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {.kind = Source::Kind::Folder};
    QFile file(path);
    if (!info.exists() || !file.open(QIODevice::ReadOnly))
        return {.kind = Source::Kind::Unreadable};
    const QByteArray head = file.read(12);
    if (head.isEmpty())
        return {.kind = Source::Kind::Empty};
    const QByteArray form = head.mid(8, 4);
    if ((head.startsWith("RIFF") || head.startsWith("RF64")) && form == "WAVE")
        return inspectWave(file, head.startsWith("RF64"));
    const bool aiff = head.startsWith("FORM") && (form == "AIFF" || form == "AIFC");
    const bool other = aiff || head.startsWith("fLaC") || head.startsWith("OggS") || head.startsWith("ID3")
                       || frameHeader(head, 0).has_value();
    return {.kind = other ? Source::Kind::OtherAudio : Source::Kind::NotAudio};
}

Mp3 inspectMp3(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return Mp3::Missing;
    if (file.size() == 0)
        return Mp3::Empty;
    qint64 start = 0;
    const QByteArray id3 = file.read(10);
    if (id3.size() == 10 && id3.startsWith("ID3")) {
        const auto b = [&](int i) { return static_cast<qint64>(static_cast<uchar>(id3[i]) & 0x7F); };
        start = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    const QByteArray bytes = readAt(file, start, kFrameSearchBytes);
    for (qsizetype at = 0; at + 4 <= bytes.size(); ++at) {
        const std::optional<FrameHeader> header = frameHeader(bytes, at);
        if (!header)
            continue;
        const std::optional<bool> saysAudio = infoFrameSaysAudio(bytes, at, *header);
        if (!saysAudio)
            return Mp3::Audio;
        if (!*saysAudio)
            return Mp3::NoAudio;
        // Audio, if a frame follows the information frame.
        return header->length > 0 && frameHeader(readAt(file, start + at + header->length, 4), 0)
                   ? Mp3::Audio
                   : Mp3::NoAudio;
    }
    return Mp3::NoAudio;
}

std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput)
{
    const Mp3 output = inspectMp3(mp3);
    if (output == Mp3::Missing)
        return Failure{QStringLiteral("exit code 0, but no MP3 file was written")};
    if (output == Mp3::Empty)
        return Failure{QStringLiteral("exit code 0, but the MP3 file is empty")};

    // Raw input has no header to judge: the file is not read at all.
    const Source input = rawInput ? Source{} : inspectSource(source);
    switch (input.kind) {
    case Source::Kind::Folder:
        return Failure{QStringLiteral("not a WAV file (it is a folder)")};
    case Source::Kind::Empty:
        return Failure{QStringLiteral("not a WAV file (the file is empty)")};
    case Source::Kind::NotAudio:
        return Failure{QStringLiteral("not a WAV file (the encoder read its bytes as raw samples)")};
    case Source::Kind::Wave:
        if (input.blockBytes <= 0 || input.presentBytes < input.blockBytes)
            return Failure{QStringLiteral("holds no audio")};
        if (input.declaredBytes >= 0 && input.bytesPerSecond > 0
            && input.declaredBytes - input.presentBytes >= input.blockBytes)
            return Failure{QStringLiteral("cut short: the MP3 holds %1 s of %2 s")
                               .arg(seconds(input.presentBytes, input.bytesPerSecond),
                                    seconds(input.declaredBytes, input.bytesPerSecond)),
                           true};
        break;
    case Source::Kind::Unreadable:
    case Source::Kind::OtherAudio:
        break;
    }

    if (output == Mp3::NoAudio)
        return Failure{QStringLiteral("the encoder wrote no audio")};
    return std::nullopt;
}

} // namespace audiocheck

} // namespace batch
