// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/configuration.h"

#include "settings/keys.h"
#include "settings/location.h"
#include "ui/artwork.h"
#include "ui/dialogs/filedialog.h"
#include "ui/dialogs/help.h"
#include "ui/enterkey.h"
#include "ui/layout.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

namespace ui {

Configuration::Configuration(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Configuration"));
    setWindowIcon(gearIcon());
    setFont(systemFont(8.25));
    setFixedSize(px(4200), px(1470));

    // Created in tab order; the label takes no focus.
    txtLamePath = new QLineEdit(QStringLiteral("Text1"), this);
    txtLamePath->setObjectName(QStringLiteral("txtLamePath"));
    txtLamePath->setGeometry(twipsRect(240, 480, 3495, 285));
    // The path is typed or chosen; a drop would insert a drag's text beside it.
    txtLamePath->setAcceptDrops(false);

    cmdSelectlme = new QPushButton(this);
    cmdSelectlme->setObjectName(QStringLiteral("cmdSelectlme"));
    cmdSelectlme->setGeometry(twipsRect(3720, 480, 375, 375));
    cmdSelectlme->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon, nullptr, cmdSelectlme));
    cmdSelectlme->setIconSize(QSize(16, 16));
    cmdSelectlme->setToolTip(QStringLiteral("Choose the encoder program"));

    cmdQuit = new QPushButton(QStringLiteral("Exit"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    cmdQuit->setGeometry(twipsRect(3000, 1080, 1095, 375));

    lblLamepath = new QLabel(QStringLiteral("Path to Lame.exe:"), this);
    lblLamepath->setObjectName(QStringLiteral("lblLamepath"));
    lblLamepath->setGeometry(twipsRect(240, 240, 1815, 255));
    lblLamepath->setFont(verdanaFont(9));
    // The caption names the box for a screen reader; without a '&' it adds no key.
    lblLamepath->setBuddy(txtLamePath);
    cmdSelectlme->setAccessibleName(QStringLiteral("Choose the encoder program"));

    setTabOrder(txtLamePath, cmdSelectlme);
    setTabOrder(cmdSelectlme, cmdQuit);
    txtLamePath->setFocus();

    // Connected only now, so that the design text above writes nothing.
    connect(txtLamePath, &QLineEdit::textChanged, this, &Configuration::txtLamePath_Change);
    connect(cmdSelectlme, &QPushButton::clicked, this, &Configuration::cmdSelectlme_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &Configuration::cmdQuit_Click);

    installHelpKey(this);

    // A window still loaded when the program ends (hidden, say) goes with it.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &QWidget::close);
}

Configuration::~Configuration() = default;

QString Configuration::lamePath() const { return txtLamePath->text(); }

void Configuration::Form_Load()
{
    m_ini = std::make_unique<settings::Cinifile>();
    m_ini->setInifile(settings::settingsFilePath());

    // The settings read gives back at most 99 bytes. A longer path, cut, would be
    // written back over the whole one at once and could never start the encoder,
    // so the box gets the whole stored path.
    m_strLame = m_ini->GetWholeValue(settings::keys::kPaths, settings::keys::kLame);

    // A change of the box's text: the change handler writes the value back.
    txtLamePath->setText(m_strLame);
}

void Configuration::txtLamePath_Change() { writeLamePath(txtLamePath->text()); }

void Configuration::cmdSelectlme_Click()
{
    const QPointer<Configuration> self(this);
    const std::optional<QString> chosen = FileDialog::openExistingFile(this);
    // A window unloaded while its dialog was open is gone, and the dialog went
    // with it: nothing is written.
    if (!self)
        return;
    // A window manager need not give the focus back to the window a dialog came
    // from; the keys would go nowhere until a click.
    activateWindow();
    // A cancelled dialog leaves the box and the settings file as they were.
    if (!chosen)
        return;
    m_strFileName = *chosen;
    txtLamePath->setText(m_strFileName);
    writeLamePath(txtLamePath->text());
}

void Configuration::cmdQuit_Click() { close(); }

void Configuration::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        cmdQuit_Click();
        return;
    }
    // Enter presses the focused button, as in a dialog; the window has no default
    // button, so Enter elsewhere does nothing.
    if (!clickForEnter(this, event))
        QWidget::keyPressEvent(event);
}

void Configuration::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit unloaded();
}

void Configuration::writeLamePath(const QString &value)
{
    // Only a loaded window has a settings file to write to.
    if (!m_ini)
        return;
    // A write the file refuses goes untold, as every settings write.
    m_ini->WriteFile(settings::keys::kPaths, settings::keys::kLameAsWritten, value);
}

} // namespace ui
