// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/encoderoutput.h"

#include <QRegularExpression>
#include <QStringList>

namespace batch {

namespace encoderoutput {

namespace {

// Lines the encoder writes on every run, failed or not. Anything else is taken
// for a message: a new wording of an error is shown rather than lost.
bool isChatter(const QString &line)
{
    static const QRegularExpression kChatter(
        QStringLiteral("^(?:"
                       "LAME .*|.*https?://\\S*lame\\S*.*"  // banner: name, version, home page
                       "|Using polyphase .*|Resampling: .*" // filter and resampling notes
                       "|Encoding .*"                       // what is encoded into what, and how
                       "|Autoconverting from .*|Assuming raw pcm input file"
                       "|Writing LAME Tag\\.*(?:done)?|ReplayGain: .*"
                       "|Frame +\\|.*"                  // progress table: heading
                       "|\\d+/\\d* *\\( *\\d+%\\)\\|.*" // progress table: one row
                       "|[-\\d:]*-{8,}[-\\d:]*"         // rule, with the elapsed time drawn into it
                       "|kbps\\b.*"                     // summary heading
                       "|[\\d.%\\s]+"                   // summary figures
                       "|\\d+ *\\[ *\\d+\\][%*\\s]*"    // histogram bar
                       ")$"));
    return kChatter.match(line).hasMatch();
}

// Warnings the encoder writes beside its work, never the reason it fails: about
// options it ignores or settings it turned off, about the sound's level. Lines
// indented under one continue it.
bool isWarning(const QString &line)
{
    static const QRegularExpression kWarning(QStringLiteral(
        "^(?:"
        "WARNING: libsndfile may ignore -r .*|Compile without libsndfile if this is a problem\\."
        "|WARNING: -. is obsolete\\.|WARNING: ignoring developer-only switch .*"
        "|(?:Warning: )?(?:polyphase lowpass|highpass) filter disabled.*"
        "|Warning: many decoders cannot handle free format .*"
        "|Warning: Xing stream size off by more than 1%.*" // an MPEG source cut short: the checks say so
        "|WARNING: (?:clipping occurs|ReplayGain exceeds) .*"
        ")$"));
    return kWarning.match(line).hasMatch();
}

} // namespace

QString messageLines(const QByteArray &raw, bool cut)
{
    QString text = QString::fromLocal8Bit(raw);
    if (cut) {
        const qsizetype newline = text.indexOf(u'\n');
        text = newline < 0 ? QString() : text.mid(newline + 1);
    }
    // A control sequence (ESC [ parameters, a final letter; or ESC and one
    // character) moves the cursor or erases: the text after it is a new piece.
    // Carriage returns and other control characters split as well.
    static const QRegularExpression kBreaks(
        QStringLiteral("\\x1b\\[[0-?]*[ -/]*[@-~]|\\x1b.?|[\\x00-\\x08\\x0a-\\x1f\\x7f]"));
    QStringList kept;
    bool afterEncoding = false; // long paths put "to <output>" on a line of its own
    bool inWarning = false;
    for (const QString &piece : text.split(kBreaks, Qt::SkipEmptyParts)) {
        const QString line = piece.trimmed();
        if (line.isEmpty())
            continue;
        const bool continued = afterEncoding && line.startsWith(QStringLiteral("to "));
        afterEncoding = line.startsWith(QStringLiteral("Encoding "))
                        && !line.startsWith(QStringLiteral("Encoding as "));
        inWarning = isWarning(line) || (inWarning && piece.front().isSpace());
        if (!continued && !inWarning && !isChatter(line))
            kept.append(line);
    }
    if (kept.size() > kMaxLines)
        kept = kept.mid(kept.size() - kMaxLines);
    return kept.join(u'\n');
}

} // namespace encoderoutput

} // namespace batch
