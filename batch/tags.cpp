// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/tags.h"

#include "platform/process.h"
#include "platform/regularfile.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace batch::tags {

namespace {

using Frame = TagLib::ID3v2::Frame;
using Frames = std::vector<std::unique_ptr<Frame>>;

// A WAVE file may hold any number of chunks; past this many the walk stops.
constexpr int kMaxChunks = 65536;
constexpr quint32 kUnknownSize = 0xFFFFFFFFu;
// The text fields at the head of a bext chunk: description, originator, its
// reference, origination date and time.
constexpr qsizetype kBextTextBytes = 256 + 32 + 32 + 10 + 8;
// The audio moves behind a longer tag in blocks of this size.
constexpr qint64 kMoveBlock = qint64(1) << 20;

// Windows-1252 for the bytes 0x80 to 0x9F; 0 where it leaves one unassigned.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// What each INFO field becomes: a frame, or a TXXX frame of that description.
struct InfoField {
    const char *id;
    const char *frame;
    const char *description = nullptr;
};

// ITRK comes before IPRT: the track, where both are given.
constexpr InfoField kInfoFields[] = {
    {"INAM", "TIT2"},
    {"IART", "TPE1"},
    {"IPRD", "TALB"},
    {"ICRD", "TDRC", "Creation date"},
    {"ITRK", "TRCK"},
    {"IPRT", "TRCK"},
    {"IGNR", "TCON"},
    {"ICMT", "COMM"},
    {"ICOP", "TCOP"},
    {"ITCH", "TENC"},
    {"IMED", "TMED"},
    {"IARL", nullptr, "Archival location"},
    {"ICMS", nullptr, "Commissioned"},
    {"ICRP", nullptr, "Cropped"},
    {"IDIM", nullptr, "Dimensions"},
    {"IDPI", nullptr, "Dots per inch"},
    {"IENG", nullptr, "Engineer"},
    {"IKEY", nullptr, "Keywords"},
    {"ILGT", nullptr, "Lightness"},
    {"ILNG", nullptr, "Language"},
    {"IPLT", nullptr, "Palette setting"},
    {"ISBJ", nullptr, "Subject"},
    {"ISFT", nullptr, "Software"},
    {"ISHP", nullptr, "Sharpness"},
    {"ISRC", nullptr, "Source"},
    {"ISRF", nullptr, "Source form"},
};

TagLib::String taglibString(const QString &text) { return {text.toStdString(), TagLib::String::UTF8}; }
QString qtString(const TagLib::String &text) { return QString::fromStdString(text.to8Bit(true)); }
TagLib::ByteVector taglibBytes(const QByteArray &bytes) { return {bytes.constData(), uint(bytes.size())}; }
QByteArray qtBytes(const TagLib::ByteVector &bytes) { return {bytes.data(), qsizetype(bytes.size())}; }

// Plain ASCII as Latin-1; any other text as UTF-16, which version 2.3 has and
// no reader takes for its own code page.
TagLib::String::Type encodingOf(const QStringList &texts)
{
    const bool ascii = std::all_of(texts.begin(), texts.end(), [](const QString &text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    });
    return ascii ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

std::unique_ptr<Frame> textFrame(const QByteArray &id, const QString &text)
{
    if (id == "COMM") {
        auto comment = std::make_unique<TagLib::ID3v2::CommentsFrame>(encodingOf({text}));
        comment->setLanguage("eng");
        comment->setText(taglibString(text));
        return comment;
    }
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(taglibBytes(id),
                                                                          encodingOf({text}));
    frame->setText(taglibString(text));
    return frame;
}

std::unique_ptr<Frame> userTextFrame(const QString &description, const QString &text)
{
    return std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(
        taglibString(description), TagLib::StringList(taglibString(text)), encodingOf({description, text}));
}

// What a frame is, for telling whether an earlier source gave one like it.
QString kindOf(const Frame &frame)
{
    QString kind = QString::fromLatin1(qtBytes(frame.frameID()));
    if (const auto *text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(&frame))
        kind += '/' + qtString(text->description());
    else if (const auto *comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame *>(&frame))
        kind += '/' + qtString(comment->description());
    else if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(&frame))
        kind += '/' + QString::number(picture->type());
    return kind;
}

// What a frame holds, in the user's words.
QString nameOf(const Frame &frame)
{
    static const QHash<QString, QString> kNames{
        {"TIT2", "title"},      {"TPE1", "artist"}, {"TALB", "album"},   {"TDRC", "date"},
        {"TRCK", "track"},      {"TCON", "genre"},  {"COMM", "comment"}, {"TCOP", "copyright"},
        {"TENC", "encoded by"}, {"TMED", "medium"}, {"APIC", "picture"},
    };
    const QString id = QString::fromLatin1(qtBytes(frame.frameID()));
    if (const auto *text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(&frame))
        return qtString(text->description());
    return kNames.value(id, id);
}

// Text of INFO and bext chunks, up to its first zero byte: UTF-8 when it is
// valid UTF-8 and not plain ASCII, else Windows-1252.
QString decodeText(QByteArray bytes)
{
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; })) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        const QString text = utf8(bytes);
        if (!utf8.hasError())
            return text.trimmed();
    }
    QString text;
    for (const char c : bytes) {
        const uchar b = uchar(c);
        text += b >= 0x80 && b < 0xA0 && kWindows1252[b - 0x80] ? QChar(kWindows1252[b - 0x80]) : QChar(b);
    }
    return text.trimmed();
}

// What a WAV file holds for the tags, as read from its chunks.
struct SourceTags {
    QList<std::pair<QByteArray, QByteArray>> info; // INFO fields in the file's order
    QByteArray id3, bext;                          // the first chunk of each
    QString problem;
};

void readInfo(const QByteArray &fields, SourceTags &found)
{
    for (qsizetype at = 0; at + 8 <= fields.size();) {
        const quint32 size = qFromLittleEndian<quint32>(fields.constData() + at + 4);
        found.info.append({fields.mid(at, 4), fields.mid(at + 8, size)});
        at += 8 + qsizetype(size) + qsizetype(size & 1);
    }
}

// Walks the chunks of a RIFF or RF64 WAVE file, before and after its data.
SourceTags readSource(const QString &path)
{
    SourceTags found;
    using Kind = platform::ReadableFile::Kind;
    const platform::ReadableFile opened = platform::openForReading(path);
    // A source gone since its encode, a folder, or a pipe or device whose bytes
    // went to the encoder has nothing left to read, and nothing to say.
    if (opened.kind == Kind::Unreadable)
        found.problem = QStringLiteral("its tags were not read: the WAV file cannot be opened");
    if (opened.kind != Kind::Regular)
        return found;
    QFile &file = *opened.file;
    const QByteArray head = file.read(12);
    const bool rf64 = head.startsWith("RF64") || head.startsWith("BW64");
    if (head.size() < 12 || (!rf64 && !head.startsWith("RIFF")) || !head.endsWith("WAVE"))
        return found;
    const qint64 end = file.size();
    quint64 ds64DataSize = kUnknownSize;
    qint64 position = 12;
    for (int chunk = 0; chunk < kMaxChunks && position + 8 <= end && file.seek(position); ++chunk) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            break;
        const QByteArray id = header.left(4);
        quint64 size = qFromLittleEndian<quint32>(header.constData() + 4);
        if (rf64 && id == "data" && size == kUnknownSize)
            size = ds64DataSize; // RF64 gives a data chunk's size in its ds64 chunk
        const auto body = [&](quint64 most) {
            return file.read(qint64(std::min<quint64>({size, most, quint64(end - position - 8)})));
        };
        if (id == "ds64") {
            const QByteArray ds64 = body(16);
            if (ds64.size() == 16)
                ds64DataSize = qFromLittleEndian<quint64>(ds64.constData() + 8);
        } else if (id == "LIST" && body(4) == "INFO") {
            readInfo(file.read(qint64(std::min<quint64>(size, quint64(end))) - 4), found);
        } else if ((id == "id3 " || id == "ID3 ") && found.id3.isEmpty()) {
            found.id3 = body(size);
        } else if (id == "bext" && found.bext.isEmpty()) {
            found.bext = body(kBextTextBytes);
        }
        if (size >= quint64(end))
            break;
        position += 8 + qint64(size) + qint64(size & 1); // chunks are padded to an even length
    }
    return found;
}

// An ID3v2 tag read from bytes that begin with one, or a new tag.
class TagInMemory {
public:
    explicit TagInMemory(const QByteArray &bytes = {})
        : m_stream(taglibBytes(bytes)), m_file(&m_stream, TagLib::ID3v2::FrameFactory::instance(), false)
    {
    }
    bool read() const { return m_file.hasID3v2Tag(); }
    TagLib::ID3v2::Tag &tag() { return *m_file.ID3v2Tag(true); }

    // Takes the frames out of the tag.
    Frames takeFrames()
    {
        Frames frames;
        // Not a copy of the tag's list: the last copy of it deletes the frames.
        const std::vector<Frame *> list(tag().frameList().begin(), tag().frameList().end());
        for (Frame *frame : list) {
            tag().removeFrame(frame, false);
            frames.emplace_back(frame);
        }
        return frames;
    }

private:
    TagLib::ByteVectorStream m_stream;
    TagLib::MPEG::File m_file;
};

Frames infoFrames(const SourceTags &found)
{
    const auto first = [&](const QByteArray &id) {
        for (const auto &[field, bytes] : found.info) {
            if (field == id && !decodeText(bytes).isEmpty())
                return decodeText(bytes);
        }
        return QString();
    };
    static const QRegularExpression kDate(
        QStringLiteral("^\\d{4}(-\\d\\d(-\\d\\d([T ]\\d\\d:\\d\\d(:\\d\\d)?)?)?)?$"));
    Frames frames;
    QSet<QByteArray> known;
    for (const InfoField &field : kInfoFields) {
        known.insert(field.id);
        const QString text = first(field.id);
        if (text.isEmpty())
            continue;
        if (field.frame && !field.description)
            frames.push_back(textFrame(field.frame, text));
        else if (field.frame && kDate.match(text).hasMatch()) // a date, or else a TXXX text
            frames.push_back(textFrame(field.frame, QString(text).replace(' ', 'T')));
        else
            frames.push_back(userTextFrame(QLatin1String(field.description), text));
    }
    static const QRegularExpression kFieldId(QStringLiteral("^[A-Z0-9 ]{4}$"));
    for (const auto &[id, bytes] : found.info) {
        if (!known.contains(id) && kFieldId.match(QLatin1String(id)).hasMatch()) {
            known.insert(id);
            if (const QString text = first(id); !text.isEmpty())
                frames.push_back(userTextFrame(QString::fromLatin1(id), text));
        }
    }
    return frames;
}

Frames bextFrames(const QByteArray &bext)
{
    const auto text = [&](qsizetype at, qsizetype size) { return decodeText(bext.mid(at, size)); };
    const QString description = text(0, 256), date = text(320, 10), time = text(330, 8);
    const std::pair<const char *, QString> fields[] = {
        {"BWF Description", description},
        {"BWF Originator", text(256, 32)},
        {"BWF Originator reference", text(288, 32)},
        {"BWF Origination date", date},
        {"BWF Origination time", time},
    };
    Frames frames;
    for (const auto &[name, value] : fields) {
        if (!value.isEmpty())
            frames.push_back(userTextFrame(QLatin1String(name), value));
    }
    if (!description.isEmpty())
        frames.push_back(textFrame("COMM", description));
    // Any character may separate the date's and the time's parts.
    static const QRegularExpression kDate(QStringLiteral("^(\\d{4}).(\\d\\d).(\\d\\d)$"));
    static const QRegularExpression kTime(QStringLiteral("^(\\d\\d).(\\d\\d).(\\d\\d)$"));
    if (const QRegularExpressionMatch day = kDate.match(date); day.hasMatch()) {
        const QRegularExpressionMatch clock = kTime.match(time);
        frames.push_back(textFrame(
            "TDRC", day.captured(1) + '-' + day.captured(2) + '-' + day.captured(3)
                        + (clock.hasMatch()
                               ? 'T' + clock.captured(1) + ':' + clock.captured(2) + ':' + clock.captured(3)
                               : QString())));
    }
    return frames;
}

// Adds the frames of a source of which no earlier source gave the kind. An
// ID3v2 tag may hold several of a kind (repeats); of the others the first wins.
void merge(Frames &carried, QSet<QString> &given, Frames source, bool repeats)
{
    QSet<QString> added;
    for (std::unique_ptr<Frame> &frame : source) {
        const QString kind = kindOf(*frame);
        if (given.contains(kind))
            continue;
        (repeats ? added : given).insert(kind);
        carried.push_back(std::move(frame));
    }
    given.unite(added);
}

// Whether the parameters ask the encoder for a version 1 tag and no other.
bool asksForVersion1Only(const QString &params)
{
    // The encoder's tag options whose value follows them: the value is no option.
    static const QStringList kWithValue{"--tt", "--ta", "--tl", "--ty", "--tc",
                                        "--tn", "--tg", "--ti", "--tv", "--pad-id3v2-size"};
    const QStringList arguments = platform::splitArguments(params);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (kWithValue.contains(arguments[i]))
            ++i;
        else if (arguments[i] == QLatin1String("--id3v1-only"))
            return true;
    }
    return false;
}

// The length of the ID3v2 tag that head (an MP3 file's first ten bytes) begins; 0 for none.
qint64 tagLength(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (uchar(head[i]) & 0x7F);
    return 10 + size + (uchar(head[5]) & 0x10 ? 10 : 0); // a footer follows when the flag says so
}

// A tag padded with zeros to the given length, which its header then gives.
QByteArray paddedTo(QByteArray tag, qint64 length)
{
    if (tag.size() >= length)
        return tag;
    tag.append(QByteArray(length - tag.size(), '\0'));
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = char((length - 10) >> (21 - 7 * i) & 0x7F);
    return tag;
}

struct WriteFailure {
    QString why;
    bool damaged = false;
};

// Writes tag over the first oldLength bytes of file, moving what follows back
// when the tag is longer.
// Writes all of bytes at offset. A short write is followed by another, which
// then meets the error that stopped the first (a full disk) and says so.
bool writeAt(QFile &file, qint64 offset, const QByteArray &bytes)
{
    if (!file.seek(offset))
        return false;
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

std::optional<WriteFailure> writeTag(QFile &file, qint64 oldLength, const QByteArray &tag)
{
    const qint64 end = file.size();
    const qint64 grow = tag.size() - oldLength;
    if (grow > 0) {
        // Room first, at the end: a full disk then stops the write before anything has moved.
        if (!writeAt(file, end, QByteArray(grow, '\0'))) {
            const QString why = file.errorString();
            return WriteFailure{why, !file.resize(end)};
        }
        for (qint64 blockEnd = end; blockEnd > oldLength;) {
            const qint64 blockStart = std::max(oldLength, blockEnd - kMoveBlock);
            const QByteArray block = file.seek(blockStart) ? file.read(blockEnd - blockStart) : QByteArray();
            if (block.size() != blockEnd - blockStart || !writeAt(file, blockStart + grow, block))
                return WriteFailure{file.errorString(), true};
            blockEnd = blockStart;
        }
    }
    if (!writeAt(file, 0, tag))
        return WriteFailure{file.errorString(), true};
    return std::nullopt;
}

QString notCarried(QStringList names, const QString &why)
{
    names.removeDuplicates();
    return QStringLiteral("tags not carried into the MP3 (%1): %2").arg(names.join(QLatin1String(", ")), why);
}

} // namespace

QString carryTags(const QString &source, const QString &mp3, const QString &params, bool *damaged)
{
    if (asksForVersion1Only(params))
        return {};
    const SourceTags found = readSource(source);
    // Most sources carry no tags: then neither the library nor the MP3 file is touched.
    if (found.id3.isEmpty() && found.info.isEmpty() && found.bext.isEmpty())
        return found.problem;
    QStringList problems;
    if (!found.problem.isEmpty())
        problems << found.problem;

    Frames carried;
    QSet<QString> given;
    if (!found.id3.isEmpty()) {
        TagInMemory chunk(found.id3);
        if (found.id3.startsWith("ID3") && chunk.read())
            merge(carried, given, chunk.takeFrames(), true);
        else
            problems << QStringLiteral("its id3 chunk was not carried: it holds no ID3v2 tag");
    }
    merge(carried, given, infoFrames(found), false);
    merge(carried, given, bextFrames(found.bext), false);
    if (carried.empty())
        return problems.join(QLatin1String("; "));

    QStringList names;
    for (const std::unique_ptr<Frame> &frame : carried)
        names << nameOf(*frame);
    const platform::WritableFile opened = platform::openForWriting(mp3);
    QFile file;
    if (opened.handle < 0
        || !file.open(opened.handle, QIODevice::ReadWrite | QIODevice::Unbuffered,
                      QFileDevice::AutoCloseHandle)) {
        problems << notCarried(names,
                               QStringLiteral("the MP3 file cannot be written (%1); it was kept without them")
                                   .arg(opened.error.isEmpty() ? file.errorString() : opened.error));
        return problems.join(QLatin1String("; "));
    }

    // The encoder's own tag, written when the user asked for tags: what it holds stays.
    const qint64 oldLength = tagLength(file.peek(10));
    TagInMemory written(file.read(oldLength));
    if (oldLength > 0 && !written.read()) {
        problems << notCarried(names, QStringLiteral("the tag the encoder wrote cannot be read"));
        return problems.join(QLatin1String("; "));
    }
    QSet<QString> encoderKinds;
    for (const Frame *frame : written.tag().frameList())
        encoderKinds.insert(kindOf(*frame));
    QList<std::pair<QString, QString>> expected; // each added frame's kind and text
    names.clear();
    for (std::unique_ptr<Frame> &frame : carried) {
        if (encoderKinds.contains(kindOf(*frame)))
            continue;
        expected.append({kindOf(*frame), qtString(frame->toString())});
        names << nameOf(*frame);
        written.tag().addFrame(frame.release());
    }
    if (expected.isEmpty())
        return problems.join(QLatin1String("; "));

    const QByteArray tag = paddedTo(qtBytes(written.tag().render(TagLib::ID3v2::v3)), oldLength);
    if (const std::optional<WriteFailure> failure = writeTag(file, oldLength, tag)) {
        if (damaged)
            *damaged = failure->damaged;
        problems << notCarried(names, failure->damaged
                                          ? QStringLiteral("writing them failed part way (%1), which damaged "
                                                           "the new MP3 file")
                                                .arg(failure->why)
                                          : QStringLiteral("the MP3 file could not be written (%1); it was "
                                                           "kept without them")
                                                .arg(failure->why));
        return problems.join(QLatin1String("; "));
    }

    // The library's rendering and the disk's write, as they read back.
    QStringList lost;
    TagInMemory back(file.seek(0) ? file.read(tag.size()) : QByteArray());
    QMultiHash<QString, QString> readBack;
    for (const Frame *frame : back.tag().frameList())
        readBack.insert(kindOf(*frame), qtString(frame->toString()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto &[kind, text] = expected.at(i);
        // Version 2.3 keeps a date's time to the minute, and of the original release date only the year.
        const bool date = kind == QLatin1String("TDRC") || kind == QLatin1String("TDOR");
        const QStringList values = readBack.values(kind);
        const bool held = std::any_of(values.begin(), values.end(), [&](const QString &value) {
            return value == text || (date && !value.isEmpty() && text.startsWith(value));
        });
        if (!held)
            lost << names.at(i);
    }
    if (!lost.isEmpty())
        problems << notCarried(lost, QStringLiteral("the MP3 file did not hold them when read back"));
    return problems.join(QLatin1String("; "));
}

} // namespace batch::tags
