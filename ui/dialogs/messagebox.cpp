// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/messagebox.h"

#include <QCoreApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ui {

namespace {
MessageBox::Handler &handler()
{
    static MessageBox::Handler h;
    return h;
}

QString effectiveTitle(const std::optional<QString> &title)
{
    return title ? *title : QCoreApplication::applicationName();
}
} // namespace

void MessageBox::information(QWidget *parent, const QString &text, const std::optional<QString> &title)
{
    const QString shownTitle = effectiveTitle(title);
    if (handler()) {
        handler()(text, shownTitle);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, shownTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void MessageBox::informationLater(QWidget *from, const QString &text)
{
    QPointer<QWidget> owner = from->window();
    QTimer::singleShot(0, from, [owner, text] { information(owner, text); });
}

void MessageBox::setHandler(Handler h) { handler() = std::move(h); }

} // namespace ui
