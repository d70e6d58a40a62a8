// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/mainview.h"

#include <QString>
#include <QStringList>
#include <QWidget>

namespace ui {

// A sentence for a screen reader, beside the window's own lines: how a run ended,
// how many files were added. Neither the status line's name changes nor any
// other event of a label is spoken unless the label has the focus, and Qt 6.4 has
// no announcement event; a notification that appears is spoken wherever the focus
// is. So this is an invisible notification (no size, no focus, nothing painted)
// that appears anew, named by the sentence, each time it has something to say.
class Announcement : public QWidget {
    Q_OBJECT
public:
    explicit Announcement(QWidget *parent);

    // Said at once; before the window has first been active, as it is first
    // active (files given to the program come in while a screen reader may not
    // know the program yet).
    void say(const QString &sentence);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void appear(const QString &sentence);

    bool m_windowWasActive = false;
    QStringList m_waiting;
};

// "1 file", "3 files": the count as every sentence about a run says it.
QString fileCount(int count);
// "Done! 3 files encoded.", "1 of 3 files failed.", "User Requested Stop! 2 files
// encoded."; nothing for an end that a message box explains.
QString runEndSentence(const batch::RunOutcome &outcome);
// "3 files added".
QString filesAddedSentence(int count);

} // namespace ui
