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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using ui::Configuration;
using ui::ConfigurationRef;

namespace {

// The whole stored value, past the settings read limit.
QString storedLame()
{
    return platform::GetPrivateProfileString("PATHS", "LAME", QString(), 32768,
                                             settings::settingsFilePath());
}

QByteArray settingsBytes()
{
    QFile file(settings::settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

void storeLame(const QString &path)
{
    QVERIFY(writeFile(settings::settingsFilePath(),
                      "[PATHS]\nSource Path=/opt/purlwave\nLAME=" + path.toUtf8() + "\n"));
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
    return window && QTest::qWaitForWindowActive(window) ? window : nullptr;
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
    void pickingAFile_data();
    void pickingAFile();
    void realDialogTakesOnlyAnExistingFile_data();
    void realDialogTakesOnlyAnExistingFile();
    void referenceKeepsOneWindowAndLoadsItWhenTouched_data();
    void referenceKeepsOneWindowAndLoadsItWhenTouched();
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

    using File = std::optional<QByteArray>;
    QTest::newRow("stored path") << File("[PATHS]\nLAME=/opt/Tools/Encoder/lame\n")
                                 << "/opt/Tools/Encoder/lame";
    QTest::newRow("blanks and non-ASCII letters")
        << File("[PATHS]\nLAME=/home/Zoë/Mes outils/lame\n") << QStringLiteral("/home/Zoë/Mes outils/lame");
    QTest::newRow("no LAME entry") << File("[PATHS]\nSource Path=/opt\n") << "";
    QTest::newRow("no settings file") << File() << "";
    // The read limit would cut it, and the write-back would store the cut path.
    const QString longPath = "/srv/" + QString(60, 'a') + "/" + QString(60, 'b') + "/lame";
    QTest::newRow("path past the read limit") << File("[PATHS]\nLAME=" + longPath.toUtf8() + "\n")
                                              << longPath;
}

void TestConfiguration::loadFillsTheBoxAndWritesItBack()
{
    QFETCH(std::optional<QByteArray>, fileBefore);
    QFETCH(QString, expected);
    if (fileBefore)
        QVERIFY(writeFile(settings::settingsFilePath(), *fileBefore));

    auto window = std::make_unique<Configuration>();
    QSignalSpy writes(window.get(), &Configuration::lamePathWritten);
    QCOMPARE(window->lamePath(), QStringLiteral("Text1"));
    window->Form_Load();

    QCOMPARE(window->lamePath(), expected);
    QCOMPARE(writes.count(), 1);
    QCOMPARE(writes.at(0).at(0).toString(), expected);
    QVERIFY(writes.at(0).at(1).toBool());
    QCOMPARE(storedLame(), expected);
    QVERIFY2(settingsBytes().toLower().contains("lame="), "the entry is there afterwards");
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
}

void TestConfiguration::pickingAFile_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedWrites");

    // <dir> stands for the temporary program folder, which holds "My Encoder/lame".
    QTest::newRow("a new file") << "/old/lame" << false << "<dir>/My Encoder/lame" << 2;
    QTest::newRow("the file already shown")
        << "<dir>/My Encoder/lame" << false << "<dir>/My Encoder/lame" << 1;
    QTest::newRow("cancelled") << "/old/lame" << true << "/old/lame" << 0;
    QTest::newRow("cancelled with an empty box") << "" << true << "" << 0;
}

void TestConfiguration::pickingAFile()
{
    QFETCH(QString, stored);
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    QFETCH(int, expectedWrites);
    const QString dir = QDir::toNativeSeparators(m_dir->path());
    stored.replace("<dir>", dir);
    expected.replace("<dir>", dir);
    QVERIFY(QDir().mkpath(dir + "/My Encoder"));
    QVERIFY(writeFile(dir + "/My Encoder/lame", {}));
    storeLame(stored);
    Configuration *window = shownWindow();
    QVERIFY(window);
    const QByteArray before = settingsBytes();

    ui::ScriptedFileDialogs dialogs;
    if (cancel)
        dialogs.cancel();
    else
        dialogs.choose(dir + "/My Encoder/lame");
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

void TestConfiguration::realDialogTakesOnlyAnExistingFile_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("changes"); // the box and the file take the chosen file

    QTest::newRow("file chosen") << "accept" << true;
    QTest::newRow("cancelled") << "reject" << false;
    // A run that ends while the dialog is open unloads the window from inside the
    // dialog's event loop, which then destroys the window and the dialog with it.
    QTest::newRow("window unloaded meanwhile") << "unload" << false;
}

void TestConfiguration::realDialogTakesOnlyAnExistingFile()
{
    QFETCH(QString, answer);
    QFETCH(bool, changes);
    const QString file = QDir::toNativeSeparators(m_dir->path() + "/lame");
    QVERIFY(writeFile(file, {}));
    storeLame("/old/lame");
    ConfigurationRef::program().show();
    QPointer<Configuration> window = ConfigurationRef::program().window();
    QVERIFY(window);

    std::optional<QFileDialog::FileMode> mode;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        mode = dialog->fileMode();
        if (answer == "accept") {
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept(); // public there
        } else if (answer == "reject") {
            dialog->reject();
        } else {
            ConfigurationRef::program().unloadAndRelease();
        }
    });
    poll.start();
    window->cmdSelectlme_Click();

    QCOMPARE(mode, std::optional(QFileDialog::ExistingFile));
    QCOMPARE(storedLame(), changes ? file : QStringLiteral("/old/lame"));
    QCOMPARE(window.isNull(), answer == "unload");
    if (window)
        QCOMPARE(window->lamePath(), storedLame());
}

void TestConfiguration::referenceKeepsOneWindowAndLoadsItWhenTouched_data()
{
    // Steps: "store:P" puts P into the file; "read" reads the path through the
    // reference; "show"; "exit" clicks Exit; "close" closes from the title bar;
    // "release" unloads and releases; "other" activates another window.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("lastRead");
    QTest::addColumn<QString>("visible"); // "shown", "hidden" or "unloaded"
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("firstWindow"); // the window at the end is the first one loaded

    QTest::newRow("read loads the window hidden") << "store:/a read" << "/a" << "hidden" << "/a" << true;
    QTest::newRow("a loaded window is read, not the file")
        << "store:/a read store:/b read" << "/a" << "hidden" << "/a" << true;
    QTest::newRow("show after read shows that window")
        << "store:/a read store:/b show" << "/a" << "shown" << "/a" << true;
    QTest::newRow("show twice") << "store:/a show show" << "" << "shown" << "/a" << true;
    QTest::newRow("show brings it to the front")
        << "store:/a show other show" << "" << "shown" << "/a" << true;
    QTest::newRow("Exit, then show loads afresh")
        << "store:/a show exit store:/b show" << "" << "shown" << "/b" << false;
    QTest::newRow("title bar close, then read loads afresh")
        << "store:/a show close store:/b read" << "/b" << "hidden" << "/b" << false;
    QTest::newRow("release closes a shown window") << "store:/a show release" << "" << "unloaded" << "" << false;
    QTest::newRow("release unloads a hidden window")
        << "store:/a read release store:/b read" << "/b" << "hidden" << "/b" << false;
    QTest::newRow("release with none loaded") << "release" << "" << "unloaded" << "" << false;
}

void TestConfiguration::referenceKeepsOneWindowAndLoadsItWhenTouched()
{
    QFETCH(QString, steps);
    QFETCH(QString, lastRead);
    QFETCH(QString, visible);
    QFETCH(QString, box);
    QFETCH(bool, firstWindow);
    ConfigurationRef &ref = ConfigurationRef::program();
    QPointer<Configuration> first;
    bool seenFirst = false;
    std::unique_ptr<QWidget> other;
    QString read;

    for (const QString &step : steps.split(' ')) {
        if (step.startsWith("store:")) {
            storeLame(step.mid(6));
        } else if (step == "read") {
            read = ref.lamePath();
        } else if (step == "show") {
            ref.show();
        } else if (step == "exit") {
            QTest::mouseClick(ref.window()->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
        } else if (step == "close") {
            ref.window()->close();
        } else if (step == "release") {
            ref.unloadAndRelease();
        } else if (step == "other") {
            other = std::make_unique<QWidget>();
            other->show();
            other->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(other.get()));
        }
        if (!seenFirst && ref.window()) {
            first = ref.window();
            seenFirst = true;
        }
        if (step == "exit" || step == "close" || step == "release")
            QVERIFY(!ref.isLoaded()); // at once, not only once it is destroyed
    }

    QCOMPARE(read, lastRead);
    QTRY_COMPARE(configurationWindows(), ref.isLoaded() ? 1 : 0); // unloaded ones are destroyed
    Configuration *window = ref.window();
    QCOMPARE(window ? (window->isVisible() ? "shown" : "hidden") : "unloaded", visible);
    QCOMPARE(window && window == first, firstWindow);
    if (window)
        QCOMPARE(window->lamePath(), box);
    if (visible == "shown")
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
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(label->font().pointSizeF(), 9.0);
    } else if (auto *box = qobject_cast<QLineEdit *>(control)) {
        QCOMPARE(box->text(), text);
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(button->icon().isNull(), !text.isEmpty()); // the picture button
    }
}

void TestConfiguration::windowOpensWithFocusInThePathBoxAndTabsInOrder()
{
    Configuration *window = shownWindow();
    QVERIFY(window);
    QTRY_COMPARE(QApplication::focusWidget(), pathBox(window));

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
