// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"

#include "platform/replacefile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// UTF-8 is the system's 8-bit encoding on the platforms we build for.
QByteArray to8Bit(const QString &text) { return text.toUtf8(); }
QString from8Bit(QByteArrayView bytes) { return QString::fromUtf8(bytes); }

const QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

bool sameName(QByteArrayView inFile, const QString &wanted)
{
    return from8Bit(inFile).compare(wanted, Qt::CaseInsensitive) == 0;
}

bool isComment(QByteArrayView trimmedLine)
{
    return trimmedLine.startsWith(';') || trimmedLine.startsWith('#');
}

// Where one entry is, or where it would go, in the bytes of a profile file.
// Only the first section of a name counts, and in it only the first entry of a key.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    // The entry's line, without its line ending.
    qsizetype lineBegin = 0;
    qsizetype lineEnd = 0;
    QByteArrayView keySpelling;
    QByteArrayView value;
    // Start of the line after the section's last entry (or after its header).
    qsizetype insertAt = 0;
};

Location locate(const QByteArray &data, const QString &section, const QString &key)
{
    Location loc;
    bool inSection = false;
    qsizetype pos = data.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (pos < data.size()) {
        const qsizetype newline = data.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? data.size() : newline + 1;
        qsizetype end = newline < 0 ? data.size() : newline;
        if (newline > pos && data.at(newline - 1) == '\r')
            --end;
        const QByteArrayView line = QByteArrayView(data).sliced(pos, end - pos);
        const QByteArrayView trimmed = line.trimmed();

        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            if (close > 0) {
                if (inSection)
                    break; // the section ends at the next header
                if (sameName(trimmed.sliced(1, close - 1).trimmed(), section)) {
                    loc.sectionFound = true;
                    loc.insertAt = next;
                    inSection = true;
                }
                pos = next;
                continue;
            }
        }
        const qsizetype equals = line.indexOf('=');
        if (inSection && equals >= 0 && !isComment(trimmed)) {
            loc.insertAt = next;
            const QByteArrayView name = line.first(equals).trimmed();
            if (sameName(name, key)) {
                loc.keyFound = true;
                loc.lineBegin = pos;
                loc.lineEnd = end;
                loc.keySpelling = name;
                loc.value = line.sliced(equals + 1).trimmed();
                break;
            }
        }
        pos = next;
    }
    return loc;
}

// The file's own line ending, taken from its first line; "\n" for a new file.
QByteArray lineEndingOf(const QByteArray &data)
{
    const qsizetype newline = data.indexOf('\n');
    return newline > 0 && data.at(newline - 1) == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

// At most limit bytes of a UTF-8 text, never ending inside a character. Invalid
// sequences are cut at the byte limit.
QByteArrayView cutAtCharacter(QByteArrayView bytes, qsizetype limit)
{
    if (limit <= 0)
        return {};
    if (bytes.size() <= limit)
        return bytes;
    const auto isContinuation = [&](qsizetype i) {
        return (static_cast<unsigned char>(bytes.at(i)) & 0xC0) == 0x80;
    };
    qsizetype start = limit;
    while (start > 0 && limit - start < 3 && isContinuation(start))
        --start;
    if (start == limit || isContinuation(start))
        return bytes.first(limit);
    const auto lead = static_cast<unsigned char>(bytes.at(start));
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return bytes.first(start + length > limit ? start : limit);
}

// A name or value that would change the file's structure if written as it is.
bool breaksLine(QByteArrayView text)
{
    return text.contains('\n') || text.contains('\r') || text.contains('\0');
}

bool isWritableName(QByteArrayView section, QByteArrayView key)
{
    return !section.isEmpty() && !key.isEmpty() && !section.contains(']') && !key.contains('=')
           && !key.startsWith('[') && !isComment(key) && !breaksLine(section) && !breaksLine(key);
}

// Reads a whole profile file. A missing file reads as empty; anything else that
// cannot be read as a regular file gives false.
bool readFile(const QString &path, QByteArray &data)
{
    data.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return !path.isEmpty();
    if (!info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace

QString GetPrivateProfileString(const QString &section, const QString &key, const QString &defaultValue,
                                int bufferSize, const QString &path)
{
    const QByteArray fallback = to8Bit(defaultValue);
    QByteArrayView found = fallback;
    QByteArray data;
    if (readFile(path, data)) {
        const Location loc = locate(data, section.trimmed(), key.trimmed());
        if (loc.keyFound)
            found = loc.value;
    }
    // The value is handed over as a C string would be: it ends at a zero byte.
    const qsizetype zero = found.indexOf('\0');
    if (zero >= 0)
        found = found.first(zero);
    return from8Bit(cutAtCharacter(found, qsizetype(bufferSize) - 1));
}

FileWrite WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                                    const QString &path)
{
    const QByteArray sectionBytes = to8Bit(section.trimmed());
    const QByteArray keyBytes = to8Bit(key.trimmed());
    const QByteArray valueBytes = to8Bit(value);
    if (!isWritableName(sectionBytes, keyBytes) || breaksLine(valueBytes))
        return {FileWrite::Refused};

    // The same bytes again, as when a window writes back what it has just read,
    // are not written: a rewrite would only cost a sync to the disk, at every start.
    return replaceFile(path, [&](const QByteArray &data) -> QByteArray {
        const QByteArray eol = lineEndingOf(data);
        const Location loc = locate(data, section.trimmed(), key.trimmed());
        if (loc.keyFound) {
            return data.first(loc.lineBegin) + loc.keySpelling.toByteArray() + '=' + valueBytes
                   + data.sliced(loc.lineEnd);
        }
        const QByteArray entry = keyBytes + '=' + valueBytes + eol;
        const qsizetype bom = data.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
        const qsizetype at = loc.sectionFound ? loc.insertAt : data.size();
        QByteArray out = data.first(at);
        if (at > bom && !out.endsWith('\n'))
            out += eol;
        if (!loc.sectionFound)
            out += '[' + sectionBytes + ']' + eol;
        return out + entry + data.sliced(at);
    });
}

} // namespace platform
