// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/configuration.h"

#include "settings/location.h"
#include "ui/filedialog.h"
#include "ui/help.h"
#include "ui/layout.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

#include <cmath>
#include <numbers>

namespace ui {

namespace {

const QString kSection = QStringLiteral("PATHS");
const QString kReadKey = QStringLiteral("LAME");
const QString kWriteKey = QStringLiteral("Lame"); // the same entry: keys match without case

// A gear: the window's own icon, drawn here so that it needs no image file.
QPixmap gearPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath gear;
    constexpr int kTeeth = 8;
    constexpr double kOuter = 15.0, kInner = 11.5;
    for (int i = 0; i < kTeeth * 2; ++i) {
        const double radius = (i % 2 == 0) ? kOuter : kInner;
        const double from = (i - 0.5) * std::numbers::pi / kTeeth;
        const double to = (i + 0.5) * std::numbers::pi / kTeeth;
        const QPointF a(16 + radius * std::cos(from), 16 + radius * std::sin(from));
        const QPointF b(16 + radius * std::cos(to), 16 + radius * std::sin(to));
        if (i == 0)
            gear.moveTo(a);
        else
            gear.lineTo(a);
        gear.lineTo(b);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(16, 16), 4.5, 4.5);
    gear = gear.subtracted(hole);

    painter.setPen(QPen(QColor(0x2b, 0x3a, 0x4a), 1.2));
    painter.setBrush(QColor(0x6b, 0x8c, 0xae));
    painter.drawPath(gear);
    return pixmap;
}

QIcon gearIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(gearPixmap(size));
    return icon;
}

} // namespace

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
    m_txtLamePath = new QLineEdit(QStringLiteral("Text1"), this);
    m_txtLamePath->setObjectName(QStringLiteral("txtLamePath"));
    m_txtLamePath->setGeometry(twipsRect(240, 480, 3495, 285));
    // The path is typed or chosen; a drop would insert a drag's text beside it.
    m_txtLamePath->setAcceptDrops(false);

    m_cmdSelectlme = new QPushButton(this);
    m_cmdSelectlme->setObjectName(QStringLiteral("cmdSelectlme"));
    m_cmdSelectlme->setGeometry(twipsRect(3720, 480, 375, 375));
    m_cmdSelectlme->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon, nullptr, m_cmdSelectlme));
    m_cmdSelectlme->setIconSize(QSize(16, 16));
    m_cmdSelectlme->setToolTip(QStringLiteral("Choose the encoder program"));

    m_cmdQuit = new QPushButton(QStringLiteral("Exit"), this);
    m_cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    m_cmdQuit->setGeometry(twipsRect(3000, 1080, 1095, 375));

    m_lblLamepath = new QLabel(QStringLiteral("Path to Lame.exe:"), this);
    m_lblLamepath->setObjectName(QStringLiteral("lblLamepath"));
    m_lblLamepath->setGeometry(twipsRect(240, 240, 1815, 255));
    m_lblLamepath->setFont(verdanaFont(9));
    // The caption names the box for a screen reader; without a '&' it adds no key.
    m_lblLamepath->setBuddy(m_txtLamePath);
    m_cmdSelectlme->setAccessibleName(QStringLiteral("Choose the encoder program"));

    setTabOrder(m_txtLamePath, m_cmdSelectlme);
    setTabOrder(m_cmdSelectlme, m_cmdQuit);
    m_txtLamePath->setFocus();

    // Connected only now, so that the design text above writes nothing.
    connect(m_txtLamePath, &QLineEdit::textChanged, this, &Configuration::txtLamePath_Change);
    connect(m_cmdSelectlme, &QPushButton::clicked, this, &Configuration::cmdSelectlme_Click);
    connect(m_cmdQuit, &QPushButton::clicked, this, &Configuration::cmdQuit_Click);

    installHelpKey(this);

    // A window still loaded when the program ends (hidden, say) goes with it.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &QWidget::close);
}

Configuration::~Configuration() = default;

QString Configuration::lamePath() const { return m_txtLamePath->text(); }

void Configuration::Form_Load()
{
    m_ini = std::make_unique<Cinifile>();
    m_ini->setInifile(settings::settingsFilePath());

    // The settings read gives back at most 99 bytes. A longer path, cut, would be
    // written back over the whole one at once and could never start the encoder,
    // so the box gets the whole stored path.
    m_strLame = m_ini->GetWholeValue(kSection, kReadKey);

    // A change of the box's text: the change handler writes the value back.
    m_txtLamePath->setText(m_strLame);
}

void Configuration::txtLamePath_Change() { writeLamePath(m_txtLamePath->text()); }

void Configuration::cmdSelectlme_Click()
{
    const std::optional<QString> chosen = FileDialog::openExistingFile(this);
    // A cancelled dialog leaves the box and the settings file as they were. So
    // does a window unloaded while its dialog was open: the dialog went with it.
    if (!chosen)
        return;
    m_strFileName = *chosen;
    m_txtLamePath->setText(m_strFileName);
    writeLamePath(m_txtLamePath->text());
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
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()); button && button->isEnabled()) {
            button->click();
            return;
        }
    }
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
    const bool written = m_ini->WriteFile(kSection, kWriteKey, value);
    emit lamePathWritten(value, written);
}

} // namespace ui
