// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/audiocheck.h"

#include "batch/sndfileapi.h"
#include "platform/regularfile.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace batch {

namespace audiocheck {

namespace {

// A file may put any number of chunks before its sound; past this many the walk
// gives up and the header's figure is not used.
constexpr int kMaxChunks = 4096;
// Where an MP3 file's first frame may begin after its ID3v2 tag.
constexpr qint64 kFrameSearchBytes = 4096;
// How much of an MP3 file is read at a time when its frames are counted.
constexpr qint64 kWalkBytes = 1 << 16;
// A 64-bit size at or above this is no real one.
constexpr quint64 kImpossibleBytes = quint64(1) << 62;

QByteArray readAt(QFile &file, qint64 offset, qint64 size)
{
    return file.seek(offset) ? file.read(size) : QByteArray();
}

// The unsigned number of size bytes at at, in the header's byte order; 0 past the end.
quint64 number(const QByteArray &bytes, qsizetype at, int size, bool bigEndian)
{
    if (at < 0 || at + size > bytes.size())
        return 0;
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | static_cast<uchar>(bytes[at + (bigEndian ? i : size - 1 - i)]);
    return value;
}

// How a container lays out its chunks.
struct ChunkLayout {
    int headerBytes = 8; // the id's first four bytes, then the size
    bool bigEndian = false;
    bool wave64 = false; // 16-byte ids, 64-bit sizes that count the header, 8-byte alignment
};

// Calls visit(id, body offset, body size) for each chunk from position on, until
// visit returns true or the chunks run out. A Wave64 size below its header's
// wraps to a size past any file.
template <typename Visit>
void walkChunks(QFile &file, qint64 position, const ChunkLayout &layout, const Visit &visit)
{
    const qint64 fileSize = file.size();
    for (int chunk = 0; chunk < kMaxChunks && position + layout.headerBytes <= fileSize; ++chunk) {
        const QByteArray head = readAt(file, position, layout.headerBytes);
        if (head.size() < layout.headerBytes)
            return;
        const quint64 size = layout.wave64 ? number(head, 16, 8, false)
                                           : number(head, 4, 4, layout.bigEndian);
        if (visit(head.left(4), position + layout.headerBytes, layout.wave64 ? size - 24 : size))
            return;
        // Chunks are padded to an even length (Wave64: to a multiple of 8).
        const quint64 step = layout.wave64 ? (size + 7) / 8 * 8 : layout.headerBytes + size + (size & 1);
        if (step < quint64(layout.headerBytes) || step > quint64(fileSize))
            return;
        position += static_cast<qint64>(step);
    }
}

// The frames a WAVE header (RIFF, RIFX, RF64, Wave64) declares; -1 when it
// does not say or gives a placeholder. PCM data holds whole blocks of one
// sample of every channel. A compressed layout (ADPCM, GSM) holds blocks of a
// fixed number of frames, of which the last may be partly unused or cut to a
// pad byte; the reader decodes every block it begins. The fact chunk counts
// the frames in use, at most those of the blocks begun; without one, the
// whole blocks count.
qint64 waveFrames(QFile &file, qint64 first, const ChunkLayout &layout, bool rf64)
{
    quint16 formatTag = 0;
    qint64 blockBytes = 0, framesPerBlock = 0, factFrames = -1, dataBytes = -1;
    quint64 ds64DataBytes = kImpossibleBytes;
    const bool big = layout.bigEndian;
    walkChunks(file, first, layout, [&](const QByteArray &id, qint64 body, quint64 size) {
        if (id == "fmt ") {
            const QByteArray fmt = readAt(file, body, 20);
            formatTag = static_cast<quint16>(number(fmt, 0, 2, big));
            blockBytes = static_cast<qint64>(number(fmt, 12, 2, big));
            if (size >= 20 && number(fmt, 16, 2, big) >= 2)
                framesPerBlock = static_cast<qint64>(number(fmt, 18, 2, big));
        } else if (id == "fact") {
            factFrames = static_cast<qint64>(number(readAt(file, body, 4), 0, 4, big));
        } else if (id == "ds64" && rf64) {
            const QByteArray ds64 = readAt(file, body, 16);
            if (ds64.size() == 16)
                ds64DataBytes = number(ds64, 8, 8, false);
        } else if (id == "data") {
            const quint64 bytes = layout.wave64                        ? size
                                  : rf64 && size == 0xFFFFFFFFu        ? ds64DataBytes
                                  : size >= quint64(kPlaceholderBytes) ? kImpossibleBytes
                                                                       : size;
            if (bytes < kImpossibleBytes)
                dataBytes = static_cast<qint64>(bytes);
            return true;
        }
        return false;
    });
    if (dataBytes < 0 || blockBytes <= 0)
        return -1;
    if (formatTag == 1 || formatTag == 3 || formatTag == 6 || formatTag == 7 || formatTag == 0xFFFE)
        return dataBytes / blockBytes;
    if (framesPerBlock <= 0)
        return -1;
    const qint64 begun = (dataBytes + blockBytes - 1) / blockBytes * framesPerBlock;
    return factFrames >= 0 ? std::min(factFrames, begun) : dataBytes / blockBytes * framesPerBlock;
}

// The frames an AIFF or AIFF-C header's COMM chunk declares; -1 when its sound
// chunk's size is a placeholder or either chunk is missing.
qint64 aiffFrames(QFile &file)
{
    qint64 frames = -1;
    std::optional<quint64> soundBytes;
    walkChunks(file, 12, {.bigEndian = true}, [&](const QByteArray &id, qint64 body, quint64 size) {
        if (id == "COMM")
            frames = static_cast<qint64>(number(readAt(file, body, 6), 2, 4, true));
        else if (id == "SSND")
            soundBytes = size;
        return frames >= 0 && soundBytes;
    });
    return soundBytes && *soundBytes < quint64(kPlaceholderBytes) ? frames : -1;
}

// The frames a Sun AU header declares: its data size (all ones: not known) over
// the bytes of a frame of its PCM, mu-law or A-law encoding; -1 for others.
qint64 auFrames(const QByteArray &head)
{
    const bool big = head.startsWith(".snd");
    const quint64 dataBytes = number(head, 8, 4, big);
    const quint64 encoding = number(head, 12, 4, big);
    const quint64 channels = number(head, 20, 4, big);
    static constexpr int kSampleBytes[] = {0, 1, 1, 2, 3, 4, 4, 8}; // encodings 1 to 7
    const int sampleBytes = encoding == 27 ? 1 : encoding < 8 ? kSampleBytes[encoding] : 0;
    if (dataBytes >= quint64(kPlaceholderBytes) || sampleBytes == 0 || channels == 0)
        return -1;
    return static_cast<qint64>(dataBytes / (sampleBytes * channels));
}

// The frames the header declares, for the layouts of which libsndfile gives
// only those present; -1 for others, or when it does not say.
qint64 headerFrames(QFile &file)
{
    const QByteArray head = readAt(file, 0, 40);
    const QByteArray form = head.mid(8, 4);
    if ((head.startsWith("RIFF") || head.startsWith("RIFX") || head.startsWith("RF64")) && form == "WAVE")
        return waveFrames(file, 12, {.bigEndian = head.startsWith("RIFX")}, head.startsWith("RF64"));
    if (head.startsWith("riff") && head.mid(24, 4) == "wave")
        return waveFrames(file, 40, {.headerBytes = 24, .wave64 = true}, false);
    if (head.startsWith("FORM") && (form == "AIFF" || form == "AIFC"))
        return aiffFrames(file);
    if (head.startsWith(".snd") || head.startsWith("dns."))
        return auFrames(head);
    return -1;
}

// What an input file is, as the encoder reads it.
struct Source {
    enum class Kind {
        Unreadable, // missing, or cannot be opened: nothing to judge
        Special,    // a named pipe, a device or a socket: not read again
        Folder,
        Empty,    // 0 bytes
        NotAudio, // no sound file the encoder reads: it encodes the bytes as noise
        Audio,
    };
    Kind kind = Kind::Unreadable;
    // Audio only: sample frames a second, and the frames declared (-1: not known).
    int rate = 0;
    qint64 frames = -1;
};

Source inspectSource(const QString &path)
{
    const platform::ReadableFile opened = platform::openForReading(path);
    switch (opened.kind) {
    case platform::ReadableFile::Kind::Folder:
        return {.kind = Source::Kind::Folder};
    case platform::ReadableFile::Kind::Special:
        return {.kind = Source::Kind::Special};
    case platform::ReadableFile::Kind::Missing:
    case platform::ReadableFile::Kind::Unreadable:
        return {};
    case platform::ReadableFile::Kind::Regular:
        break;
    }
    QFile &file = *opened.file;
    if (file.size() == 0)
        return {.kind = Source::Kind::Empty};

    // What libsndfile opens, the encoder reads as sound, MPEG audio included (its
    // own MPEG decoder takes only files named .mp3); what it does not, as noise.
    // By descriptor: by name libsndfile refuses paths of 1,024 bytes or more.
    // Without the library, which the encoder itself is linked with, nothing is
    // judged of the source: the MP3 alone is.
    const SndfileApi *api = sndfileApi();
    if (!api)
        return {};
    SF_INFO sfInfo{};
    SNDFILE *sound = api->sf_open_fd(file.handle(), SFM_READ, &sfInfo, SF_FALSE);
    if (!sound)
        return {.kind = Source::Kind::NotAudio};
    api->sf_close(sound);
    const qint64 declared = headerFrames(file);
    return {.kind = Source::Kind::Audio,
            .rate = sfInfo.samplerate,
            .frames = declared >= 0                   ? declared
                      : sfInfo.frames == SF_COUNT_MAX ? -1
                                                      : sfInfo.frames};
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

// An information frame (Xing or Info) stands first and holds no sound of its
// own. It may count the frames after it, and the encoder's extension to it the
// samples of delay and padding among them. nullopt for an audio frame; the
// samples it counts; -1 when it counts none.
std::optional<qint64> infoFrameSamples(const QByteArray &bytes, qsizetype at, const FrameHeader &header)
{
    const qsizetype tag = at + 4 + (header.mpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17));
    const QByteArray id = bytes.mid(tag, 4);
    if (id != "Xing" && id != "Info")
        return std::nullopt;
    const quint64 flags = number(bytes, tag + 4, 4, true);
    qsizetype field = tag + 8;
    if (!(flags & 1) || field + 4 > bytes.size())
        return -1;
    qint64 samples = static_cast<qint64>(number(bytes, field, 4, true)) * header.samplesPerFrame;
    field += 4 + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
    // The encoder's extension: a 9-byte name, then at byte 21 the delay and the
    // padding in samples, 12 bits each.
    if (field + 24 <= bytes.size() && bytes.mid(field, 4) == "LAME")
        samples -= static_cast<qint64>(number(bytes, field + 21, 3, true) >> 12)
                   + static_cast<qint64>(number(bytes, field + 21, 3, true) & 0xFFF);
    return std::max<qint64>(samples, 0);
}

// The samples of the whole frames from position on, read a block at a time; the
// first is left out when it is an information frame. -1 for free format.
qint64 countFrameSamples(QFile &file, qint64 position, bool skipFirst)
{
    const qint64 fileSize = file.size();
    QByteArray block;
    qint64 blockStart = 0, samples = 0;
    for (bool first = true; position + 4 <= fileSize; first = false) {
        if (position + 4 > blockStart + block.size()) {
            blockStart = position;
            block = readAt(file, position, kWalkBytes);
        }
        const std::optional<FrameHeader> header = frameHeader(block, position - blockStart);
        if (!header || position + header->length > fileSize)
            break; // the end of the frames, a tag after them, or a frame cut short
        if (header->length == 0)
            return -1;
        if (!(first && skipFirst))
            samples += header->samplesPerFrame;
        position += header->length;
    }
    return samples;
}

// What an MP3 file holds.
struct Mp3 {
    enum class Kind { Missing, Special, Empty, Audio };
    Kind kind = Kind::Missing;
    // Audio only: samples of sound (0: none; -1: there is sound but its length is
    // not known), their rate, and the samples of one frame.
    qint64 samples = 0;
    int rate = 0;
    int samplesPerFrame = 0;
};

Mp3 inspectMp3(const QString &path)
{
    const platform::ReadableFile opened = platform::openForReading(path);
    if (opened.kind == platform::ReadableFile::Kind::Special)
        return {.kind = Mp3::Kind::Special};
    if (opened.kind != platform::ReadableFile::Kind::Regular)
        return {};
    QFile &file = *opened.file;
    if (file.size() == 0)
        return {.kind = Mp3::Kind::Empty};
    qint64 start = 0;
    const QByteArray id3 = file.read(10);
    if (id3.size() == 10 && id3.startsWith("ID3")) {
        const auto b = [&](int i) { return static_cast<qint64>(static_cast<uchar>(id3[i]) & 0x7F); };
        start = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    // The encoder writes the first frame at the start. Further on, bytes that
    // only look like a frame header are told apart by the next frame's header.
    const QByteArray bytes = readAt(file, start, kFrameSearchBytes);
    for (qsizetype at = 0; at + 4 <= bytes.size(); ++at) {
        const std::optional<FrameHeader> header = frameHeader(bytes, at);
        if (!header || (at > 0 && (header->length == 0 || !frameHeader(bytes, at + header->length))))
            continue;
        const std::optional<qint64> counted = infoFrameSamples(bytes, at, *header);
        return {.kind = Mp3::Kind::Audio,
                .samples = counted && *counted >= 0
                               ? *counted
                               : countFrameSamples(file, start + at, counted.has_value()),
                .rate = header->sampleRate,
                .samplesPerFrame = header->samplesPerFrame};
    }
    return {.kind = Mp3::Kind::Audio};
}

} // namespace

QString heldOfDeclared(qint64 held, qint64 declared, int rate)
{
    const auto seconds = [rate](qint64 frames) {
        return QString::number(static_cast<double>(frames) / rate, 'f', 2);
    };
    return QStringLiteral("%1 s of %2 s").arg(seconds(held), seconds(declared));
}

std::optional<Failure> checkEncoded(const QString &source, const QString &mp3, bool rawInput)
{
    const Mp3 output = inspectMp3(mp3);
    switch (output.kind) {
    case Mp3::Kind::Missing:
        return Failure{QStringLiteral("the encoder reported success but wrote no MP3 file")};
    case Mp3::Kind::Empty:
        return Failure{QStringLiteral("the encoder reported success but the MP3 file is empty")};
    case Mp3::Kind::Special:
        return Failure{QStringLiteral("the MP3 path names a named pipe or a device, not a file: "
                                      "what the encoder wrote there cannot be checked"),
                       true};
    case Mp3::Kind::Audio:
        break;
    }

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
    case Source::Kind::Special:
    case Source::Kind::Unreadable:
        break;
    }

    // With bare samples asked for, a header was encoded as sound too: the lengths say nothing.
    const bool declared = input.kind == Source::Kind::Audio && !rawInput && input.frames >= 0
                          && input.rate > 0;
    if (output.samples == 0) {
        return Failure{declared && input.frames == 0
                           ? QStringLiteral("the file holds no sound (its length is 0 s)")
                           : QStringLiteral("the encoder wrote an MP3 file without sound")};
    }
    if (!declared || output.samples < 0)
        return std::nullopt;
    const double held = static_cast<double>(output.samples) / output.rate;
    const double tolerance = static_cast<double>(output.samplesPerFrame) / output.rate + kRoundingSeconds;
    if (held + tolerance >= static_cast<double>(input.frames) / input.rate)
        return std::nullopt;
    return Failure{QStringLiteral("cut short: the MP3 holds %1 (the file ends early; encode a complete copy)")
                       .arg(heldOfDeclared(std::llround(held * input.rate), input.frames, input.rate)),
                   true};
}

} // namespace audiocheck

} // namespace batch
