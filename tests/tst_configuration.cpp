// The configuration window on real settings files in a temporary program folder.
#include "platform/profile.h"
#include "settings/location.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/filedialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using ui::Configuration;
using ui::ConfigurationRef;

namespace {

// Reads the whole stored value, past the settings read limit.
QString storedLame()
{
    return platform::GetPrivateProfileString(QStringLiteral("PATHS"), QStringLiteral("LAME"),
                                             QString(), 32768, settings::settingsFilePath());
}

QByteArray settingsBytes()
{
    QFile file(settings::settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeSettings(const QByteArray &content)
{
    QFile file(settings::settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write(content) == content.size());
}

void storeLame(const QString &path)
{
    writeSettings("[PATHS]\nSource Path=/opt/purlwave\nLAME=" + path.toUtf8() + "\n");
}

QLineEdit *pathBox(QWidget *window) { return window->findChild<QLineEdit *>("txtLamePath"); }

int configurationWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<Configuration *>(w) ? 1 : 0;
    return n;
}

// Shows the program's window and waits until it is the active window.
Configuration *shownWindow()
{
    ConfigurationRef::program().show();
    Configuration *window = ConfigurationRef::program().window();
    if (window && !QTest::qWaitForWindowActive(window))
        return nullptr;
    return window;
}

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadFillsTheBoxAndWritesItBack_data();
    void loadFillsTheBoxAndWritesItBack();
    void typingWritesOnceAfterEveryKeystroke_data();
    void typingWritesOnceAfterEveryKeystroke();
    void pickingInTheDialog_data();
    void pickingInTheDialog();
    void cancelKeepsAnEditMadeAfterAnEarlierPick();
    void realDialogReturnsTheChosenFileOrNothing_data();
    void realDialogReturnsTheChosenFileOrNothing();
    void unloadWhileTheDialogIsOpenLeavesTheSettingsAlone();

    void closingUnloadsAndTheNextShowLoadsAfresh_data();
    void closingUnloadsAndTheNextShowLoadsAfresh();
    void readingThePathLoadsTheWindowHiddenOnce();
    void unloadAndReleaseClosesAndDestroysTheWindow_data();
    void unloadAndReleaseClosesAndDestroysTheWindow();
    void showingTwiceKeepsOneWindowAndBringsItToTheFront();

    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void windowOpensWithFocusInThePathBoxAndTabsInOrder();
    void hiddenWindowDoesNotKeepTheProgramAlive();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestConfiguration::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    settings::setProgramFolderForTesting(QDir::toNativeSeparators(m_dir->path()));
}

void TestConfiguration::cleanup()
{
    ConfigurationRef::program().unloadAndRelease();
    QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
    settings::setProgramFolderForTesting(QString());
    m_dir.reset();
}

void TestConfiguration::loadFillsTheBoxAndWritesItBack_data()
{
    QTest::addColumn<std::optional<QByteArray>>("fileBefore");
    QTest::addColumn<QString>("expected");

    QTest::newRow("stored path") << std::optional<QByteArray>("[PATHS]\nLAME=/opt/Tools/Encoder/lame\n")
                                 << "/opt/Tools/Encoder/lame";
    QTest::newRow("key in other letter case")
        << std::optional<QByteArray>("[paths]\nlame=/usr/bin/lame\n") << "/usr/bin/lame";
    QTest::newRow("blanks and non-ASCII letters")
        << std::optional<QByteArray>("[PATHS]\nLAME=/home/Zoë/Mes outils/lame\n")
        << QStringLiteral("/home/Zoë/Mes outils/lame");
    QTest::newRow("no LAME entry") << std::optional<QByteArray>("[PATHS]\nSource Path=/opt\n") << "";
    QTest::newRow("no settings file") << std::optional<QByteArray>() << "";
    const QString longPath = "/srv/" + QString(60, 'a') + "/" + QString(60, 'b') + "/lame";
    QTest::newRow("path past the read limit")
        << std::optional<QByteArray>("[PATHS]\nLAME=" + longPath.toUtf8() + "\n") << longPath;
}

void TestConfiguration::loadFillsTheBoxAndWritesItBack()
{
    QFETCH(std::optional<QByteArray>, fileBefore);
    QFETCH(QString, expected);
    if (fileBefore)
        writeSettings(*fileBefore);

    auto window = std::make_unique<Configuration>();
    QSignalSpy writes(window.get(), &Configuration::lamePathWritten);
    QCOMPARE(pathBox(window.get())->text(), QStringLiteral("Text1"));
    window->Form_Load();

    QCOMPARE(window->lamePath(), expected);
    QCOMPARE(pathBox(window.get())->text(), expected);
    QCOMPARE(writes.count(), 1);
    QCOMPARE(writes.at(0).at(0).toString(), expected);
    QVERIFY(writes.at(0).at(1).toBool());
    QCOMPARE(storedLame(), expected);
    // The entry is there afterwards, also when it was missing before.
    QVERIFY(QRegularExpression(QStringLiteral("^lame=(.*)$"),
                               QRegularExpression::CaseInsensitiveOption
                                   | QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(settingsBytes()))
                .hasMatch());
}

void TestConfiguration::typingWritesOnceAfterEveryKeystroke_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("keys"); // '\b' is Backspace

    QTest::newRow("into an empty box") << "" << "/usr/bin/lame";
    QTest::newRow("after the stored path") << "/usr/local/bin/la" << "me";
    QTest::newRow("correcting the last letter") << "/usr/bin/lamx" << "\be";
}

void TestConfiguration::typingWritesOnceAfterEveryKeystroke()
{
    QFETCH(QString, stored);
    QFETCH(QString, keys);
    storeLame(stored);
    Configuration *window = shownWindow();
    QVERIFY(window);

    // What the file holds at each write, read when the write reports.
    QStringList onDisk;
    connect(window, &Configuration::lamePathWritten, this,
            [&onDisk](const QString &, bool) { onDisk.append(storedLame()); });

    QStringList expected;
    QString text = stored;
    for (QChar key : keys) {
        if (key == u'\b')
            text.chop(1);
        else
            text.append(key);
        expected.append(text);
    }
    QTest::keyClicks(pathBox(window), keys);

    QCOMPARE(onDisk, expected);
    QCOMPARE(window->lamePath(), text);
    QCOMPARE(storedLame(), text);
}

void TestConfiguration::pickingInTheDialog_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedWrites");

    // <dir> stands for the temporary program folder.
    QTest::newRow("a new file") << "/old/lame" << false << "<dir>/My Encoder/lame" << 2;
    QTest::newRow("the file already shown") << "<dir>/My Encoder/lame" << false
                                            << "<dir>/My Encoder/lame" << 1;
    QTest::newRow("cancelled") << "/old/lame" << true << "/old/lame" << 0;
    QTest::newRow("cancelled with an empty box") << "" << true << "" << 0;
}

void TestConfiguration::pickingInTheDialog()
{
    QFETCH(QString, stored);
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    QFETCH(int, expectedWrites);
    const QString dir = QDir::toNativeSeparators(m_dir->path());
    stored.replace("<dir>", dir);
    expected.replace("<dir>", dir);
    const QString encoder = dir + "/My Encoder/lame";
    QVERIFY(QDir().mkpath(dir + "/My Encoder"));
    QFile exe(encoder);
    QVERIFY(exe.open(QIODevice::WriteOnly));
    exe.close();

    storeLame(stored);
    Configuration *window = shownWindow();
    QVERIFY(window);
    const QByteArray before = settingsBytes();

    ui::ScriptedFileDialogs dialogs;
    if (cancel)
        dialogs.cancel();
    else
        dialogs.choose(encoder);
    QSignalSpy writes(window, &Configuration::lamePathWritten);
    QTest::mouseClick(window->findChild<QPushButton *>("cmdSelectlme"), Qt::LeftButton);

    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(window->lamePath(), expected);
    QCOMPARE(storedLame(), expected);
    QCOMPARE(writes.count(), expectedWrites);
    for (const QList<QVariant> &write : writes)
        QCOMPARE(write.at(0).toString(), expected);
    if (expected == stored)
        QCOMPARE(settingsBytes(), before);
}

void TestConfiguration::cancelKeepsAnEditMadeAfterAnEarlierPick()
{
    storeLame("/old/lame");
    Configuration *window = shownWindow();
    QVERIFY(window);
    ui::ScriptedFileDialogs dialogs;
    dialogs.choose("/opt/enc/lame");
    dialogs.cancel();
    auto *button = window->findChild<QPushButton *>("cmdSelectlme");

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClicks(pathBox(window), "2");
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(dialogs.shown, 2);
    QCOMPARE(window->lamePath(), QStringLiteral("/opt/enc/lame2"));
    QCOMPARE(storedLame(), QStringLiteral("/opt/enc/lame2"));
}

void TestConfiguration::realDialogReturnsTheChosenFileOrNothing_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("file chosen") << true;
    QTest::newRow("cancelled") << false;
}

void TestConfiguration::realDialogReturnsTheChosenFileOrNothing()
{
    QFETCH(bool, accept);
    const QString file = QDir::toNativeSeparators(m_dir->path() + "/lame");
    QFile exe(file);
    QVERIFY(exe.open(QIODevice::WriteOnly));
    exe.close();

    std::optional<QFileDialog::FileMode> mode;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        mode = dialog->fileMode();
        if (accept) {
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept(); // public there
        } else {
            dialog->reject();
        }
    });
    answer.start();
    const std::optional<QString> chosen = ui::FileDialog::openExistingFile(nullptr);

    QCOMPARE(mode, std::optional(QFileDialog::ExistingFile));
    QCOMPARE(chosen, accept ? std::optional<QString>(file) : std::optional<QString>());
}

void TestConfiguration::unloadWhileTheDialogIsOpenLeavesTheSettingsAlone()
{
    storeLame("/old/lame");
    ConfigurationRef::program().show();
    QPointer<Configuration> window = ConfigurationRef::program().window();
    QVERIFY(window);
    const QByteArray before = settingsBytes();

    // A run that ends while the dialog is open unloads the window from inside the
    // dialog's own event loop, which then destroys the window and the dialog.
    bool unloaded = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            return;
        poll.stop();
        ConfigurationRef::program().unloadAndRelease();
        unloaded = true;
    });
    poll.start();
    window->cmdSelectlme_Click();

    QVERIFY(unloaded);
    QVERIFY(window.isNull());
    QCOMPARE(settingsBytes(), before);
}

void TestConfiguration::closingUnloadsAndTheNextShowLoadsAfresh_data()
{
    QTest::addColumn<bool>("exitButton");
    QTest::newRow("Exit") << true;
    QTest::newRow("title bar close") << false;
}

void TestConfiguration::closingUnloadsAndTheNextShowLoadsAfresh()
{
    QFETCH(bool, exitButton);
    storeLame("/first/lame");
    QPointer<Configuration> first = shownWindow();
    QVERIFY(first);

    if (exitButton)
        QTest::mouseClick(first->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
    else
        first->close();
    QVERIFY(!ConfigurationRef::program().isLoaded());
    QTRY_VERIFY(first.isNull());

    // Nothing was written at the close, and the next load reads the file afresh.
    QCOMPARE(storedLame(), QStringLiteral("/first/lame"));
    storeLame("/second/lame");
    Configuration *second = shownWindow();
    QVERIFY(second);
    QCOMPARE(second->lamePath(), QStringLiteral("/second/lame"));
    QCOMPARE(configurationWindows(), 1);
}

void TestConfiguration::readingThePathLoadsTheWindowHiddenOnce()
{
    storeLame("/usr/local/bin/lame");
    ConfigurationRef &ref = ConfigurationRef::program();
    QVERIFY(!ref.isLoaded());

    QCOMPARE(ref.lamePath(), QStringLiteral("/usr/local/bin/lame"));
    QPointer<Configuration> window = ref.window();
    QVERIFY(window);
    QVERIFY(!window->isVisible());

    // Loaded now: the box, not the file, is what a later read gives.
    storeLame("/elsewhere/lame");
    QCOMPARE(ref.lamePath(), QStringLiteral("/usr/local/bin/lame"));
    ref.show();
    QCOMPARE(ref.window(), window.data());
    QVERIFY(window->isVisible());
    QCOMPARE(window->lamePath(), QStringLiteral("/usr/local/bin/lame"));
    QCOMPARE(configurationWindows(), 1);
}

void TestConfiguration::unloadAndReleaseClosesAndDestroysTheWindow_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("shown") << "shown";
    QTest::newRow("loaded hidden") << "hidden";
    QTest::newRow("not loaded") << "none";
}

void TestConfiguration::unloadAndReleaseClosesAndDestroysTheWindow()
{
    QFETCH(QString, before);
    storeLame("/first/lame");
    ConfigurationRef &ref = ConfigurationRef::program();
    if (before == "shown")
        ref.show();
    else if (before == "hidden")
        ref.lamePath();
    QPointer<Configuration> window = ref.window();

    ref.unloadAndRelease();

    QVERIFY(!ref.isLoaded());
    if (window)
        QVERIFY(!window->isVisible());
    QTRY_VERIFY(window.isNull());
    QTRY_COMPARE(configurationWindows(), 0);
    storeLame("/second/lame");
    QCOMPARE(ref.lamePath(), QStringLiteral("/second/lame"));
}

void TestConfiguration::showingTwiceKeepsOneWindowAndBringsItToTheFront()
{
    storeLame("/usr/bin/lame");
    Configuration *window = shownWindow();
    QVERIFY(window);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));

    QSignalSpy writes(window, &Configuration::lamePathWritten);
    ConfigurationRef::program().show();
    QCOMPARE(ConfigurationRef::program().window(), window);
    QCOMPARE(configurationWindows(), 1);
    QCOMPARE(writes.count(), 0); // not loaded a second time
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void TestConfiguration::controlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // pixels: twips / 15
    QTest::addColumn<QString>("text");

    QTest::newRow("lblLamepath") << "lblLamepath" << QRect(16, 16, 121, 17) << "Path to Lame.exe:";
    QTest::newRow("txtLamePath") << "txtLamePath" << QRect(16, 32, 233, 19) << "Text1";
    QTest::newRow("cmdSelectlme") << "cmdSelectlme" << QRect(248, 32, 25, 25) << "";
    QTest::newRow("cmdQuit") << "cmdQuit" << QRect(200, 72, 73, 25) << "Exit";
}

void TestConfiguration::controlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    Configuration window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Configuration"));
    QCOMPARE(window.size(), QSize(280, 98));
    QVERIFY(!window.windowIcon().isNull());

    QWidget *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QString shown;
    if (auto *label = qobject_cast<QLabel *>(control)) {
        shown = label->text();
        QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(label->font().pointSizeF(), 9.0);
        QCOMPARE(label->font().bold(), false);
    } else if (auto *box = qobject_cast<QLineEdit *>(control)) {
        shown = box->text();
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        shown = button->text();
        if (text.isEmpty())
            QVERIFY(!button->icon().isNull());
    }
    QCOMPARE(shown, text);
}

void TestConfiguration::windowOpensWithFocusInThePathBoxAndTabsInOrder()
{
    Configuration *window = shownWindow();
    QVERIFY(window);
    QLineEdit *box = pathBox(window);
    QTRY_COMPARE(QApplication::focusWidget(), box);

    QStringList order;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"cmdSelectlme", "cmdQuit", "txtLamePath"}));
}

void TestConfiguration::hiddenWindowDoesNotKeepTheProgramAlive()
{
    storeLame("/usr/bin/lame");
    ConfigurationRef::program().lamePath();
    QPointer<Configuration> hidden = ConfigurationRef::program().window();
    QVERIFY(hidden && !hidden->isVisible());

    auto *mainWindow = new QWidget;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->show();
    QTimer::singleShot(0, mainWindow, &QWidget::close);
    // Only a guard against a program that never ends; it fails the test.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });
    guard.start(20000);

    QCOMPARE(QApplication::exec(), 0);
    // The window still loaded at the end went with the program.
    QVERIFY(hidden.isNull());
    QVERIFY(!ConfigurationRef::program().isLoaded());
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
