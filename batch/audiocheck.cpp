// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/audiocheck.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sndfile.h>

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

// What a RIFF or RF64 WAVE header says about its data chunk, for what
// libsndfile does not tell: how much longer the data is declared than it is.
struct WaveHeader {
    qint64 declaredBytes = -1; // -1: not given, as a file written while recording may leave it
    qint64 presentBytes = 0;
    qint64 blockBytes = 0;     // PCM: one sample of every channel
    qint64 framesPerBlock = 0; // compressed layouts that give it (ADPCM, GSM)
    quint16 formatTag = 0;
    qint64 factFrames = -1; // the sample frames a compressed layout's fact chunk counts
};

// Walks the chunks up to the data chunk; nullopt when it gives up or finds none.
std::optional<WaveHeader> readWaveHeader(QFile &file, bool rf64)
{
    WaveHeader header;
    const qint64 fileSize = file.size();
    std::optional<quint64> ds64DataSize;
    qint64 position = 12;
    for (int chunk = 0; chunk < kMaxChunks && position + 8 <= fileSize; ++chunk) {
        const QByteArray head = readAt(file, position, 8);
        if (head.size() < 8)
            break;
        const QByteArray id = head.left(4);
        const quint32 size = le32(head.constData() + 4);
        const qint64 body = position + 8;
        if (id == "fmt ") {
            const QByteArray fmt = readAt(file, body, std::min<quint32>(size, 20));
            if (fmt.size() >= 14) {
                header.formatTag = le16(fmt.constData());
                header.blockBytes = le16(fmt.constData() + 12);
            }
            if (fmt.size() >= 20 && le16(fmt.constData() + 16) >= 2)
                header.framesPerBlock = le16(fmt.constData() + 18);
        } else if (id == "fact") {
            const QByteArray fact = readAt(file, body, 4);
            if (fact.size() == 4)
                header.factFrames = le32(fact.constData());
        } else if (id == "ds64" && rf64) {
            const QByteArray ds64 = readAt(file, body, 16);
            if (ds64.size() == 16)
                ds64DataSize = le64(ds64.constData() + 8);
        } else if (id == "data") {
            if (rf64 && size == kUnknownSize && ds64DataSize)
                header.declaredBytes = static_cast<qint64>(
                    std::min<quint64>(*ds64DataSize, std::numeric_limits<qint64>::max()));
            else if (size != kUnknownSize)
                header.declaredBytes = size;
            header.presentBytes = std::max<qint64>(0, fileSize - body);
            return header;
        }
        position = body + size + (size & 1); // chunks are padded to an even length
    }
    return std::nullopt;
}

// The frames a WAV header declares, when more than the encoder gets. For PCM
// they are the data bytes in whole blocks. A compressed layout declares whole
// blocks of a fixed number of frames, of which the last may be partly unused:
// the fact chunk gives the count then, where it agrees with the blocks (some
// writers put a wrong one). Of the blocks present, the encoder gets only those
// that are whole as sound: the reader pads a last partial block.
void addDeclaredFrames(Source &source, const WaveHeader &header)
{
    const qint64 block = header.blockBytes;
    if (header.declaredBytes < 0 || source.frames < 0 || block <= 0)
        return;
    const int tag = header.formatTag;
    qint64 declared = -1;
    if (tag == 1 || tag == 3 || tag == 6 || tag == 7 || tag == 0xFFFE) {
        declared = header.declaredBytes / block;
    } else if (header.framesPerBlock > 0) {
        const qint64 blocks = (header.declaredBytes + block - 1) / block;
        declared = blocks * header.framesPerBlock;
        if (header.factFrames > declared - header.framesPerBlock && header.factFrames <= declared)
            declared = header.factFrames;
        source.frames = std::min(source.frames, header.presentBytes / block * header.framesPerBlock);
    }
    if (declared > source.frames)
        source.declaredFrames = declared;
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

    // What libsndfile opens, the encoder reads as sound, MPEG audio included (its
    // own MPEG decoder takes only files named .mp3); what it does not, as noise.
    SF_INFO sfInfo{};
    SNDFILE *sound = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sfInfo);
    if (!sound)
        return {.kind = Source::Kind::NotAudio};
    sf_close(sound);
    Source source{.kind = Source::Kind::Audio,
                  .rate = sfInfo.samplerate,
                  .frames = sfInfo.frames == SF_COUNT_MAX ? -1 : sfInfo.frames};
    const QByteArray form = head.mid(8, 4);
    if ((head.startsWith("RIFF") || head.startsWith("RF64")) && form == "WAVE") {
        if (const std::optional<WaveHeader> header = readWaveHeader(file, head.startsWith("RF64")))
            addDeclaredFrames(source, *header);
    }
    return source;
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

QString heldOfDeclared(qint64 held, qint64 declared, int rate)
{
    const auto seconds = [rate](qint64 frames, int decimals) {
        return QString::number(static_cast<double>(frames) / rate, 'f', decimals);
    };
    int decimals = 2;
    while (decimals < 9 && held != declared && seconds(held, decimals) == seconds(declared, decimals))
        ++decimals;
    return QStringLiteral("%1 s of %2 s").arg(seconds(held, decimals), seconds(declared, decimals));
}

std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput)
{
    const Mp3 output = inspectMp3(mp3);
    if (output == Mp3::Missing)
        return Failure{QStringLiteral("the encoder reported success but wrote no MP3 file")};
    if (output == Mp3::Empty)
        return Failure{QStringLiteral("the encoder reported success but the MP3 file is empty")};

    const Source input = inspectSource(source);
    switch (input.kind) {
    case Source::Kind::Folder:
        return Failure{QStringLiteral("this is a folder, not a sound file")};
    case Source::Kind::Empty:
        return Failure{QStringLiteral("the file is empty (0 bytes)")};
    case Source::Kind::NotAudio:
        // Bare samples asked for: a file without a header is what the user meant.
        if (rawInput)
            break;
        return Failure{QStringLiteral("not a sound file the encoder can read (it was encoded as noise; "
                                      "a sound editor can save it as WAV)")};
    case Source::Kind::Audio:
        if (rawInput)
            break; // the header was encoded as sound too: the lengths say nothing
        if (input.frames == 0)
            return Failure{QStringLiteral("the file holds no sound (its length is 0 s)")};
        if (input.declaredFrames > input.frames && input.rate > 0)
            return Failure{QStringLiteral("cut short: the MP3 holds %1 (the file ends early; "
                                          "encode a complete copy)")
                               .arg(heldOfDeclared(input.frames, input.declaredFrames, input.rate)),
                           true};
        break;
    case Source::Kind::Unreadable:
        break;
    }

    if (output == Mp3::NoAudio)
        return Failure{QStringLiteral("the encoder wrote an MP3 file without sound")};
    return std::nullopt;
}

} // namespace audiocheck

} // namespace batch
