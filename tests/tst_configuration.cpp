// The configuration window on real settings files in a temporary program folder.
#include "platform/profile.h"
#include "settings/location.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
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

void writeSettings(const QByteArray &content)
{
    QFile file(settings::settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
}

void storeLame(const QString &path) { writeSettings("[PATHS]\nSource Path=/opt\nLAME=" + path.toUtf8() + "\n"); }

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(QDir::toNativeSeparators(m_dir->path()));
    }

    void cleanup()
    {
        ConfigurationRef::program().unloadAndRelease();
        QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    void eachChangeOfTheBoxWritesItOnce_data()
    {
        // "keys:..." types into the box ('\b' is Backspace); the others click the
        // picture button and answer the real file dialog. The file picked is this
        // test program: it certainly exists.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("onDisk"); // the stored path at each write
        QTest::addColumn<QString>("box");

        const QString file = QCoreApplication::applicationFilePath();
        QTest::newRow("typing into an empty box") << "" << "keys:lame" << QStringList{"l", "la", "lam", "lame"}
                                                  << "lame";
        QTest::newRow("correcting the stored path") << "/usr/bin/lamx" << "keys:\be"
                                                    << QStringList{"/usr/bin/lam", "/usr/bin/lame"} << "/usr/bin/lame";
        QTest::newRow("picking a file") << "/old/lame" << "accept" << QStringList{file, file} << file;
        QTest::newRow("picking the file already shown") << file << "accept" << QStringList{file} << file;
        QTest::newRow("cancelled dialog") << "/old/lame" << "reject" << QStringList{} << "/old/lame";
        // A run that ends while the dialog is open unloads the window from inside the
        // dialog's event loop, which then destroys the window and the dialog with it.
        QTest::newRow("window unloaded while its dialog is open") << "/old/lame" << "unload" << QStringList{}
                                                                  << "/old/lame";
    }

    void eachChangeOfTheBoxWritesItOnce()
    {
        QFETCH(QString, stored);
        QFETCH(QString, action);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, box);
        const QString file = QCoreApplication::applicationFilePath();
        storeLame(stored);
        ConfigurationRef::program().show();
        QPointer<Configuration> window = ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        const QByteArray before = settingsBytes();

        // What each write reports, and what the file holds then.
        QStringList values, written;
        connect(window, &Configuration::lamePathWritten, this, [&](const QString &value, bool) {
            values << value;
            written << storedLame();
        });
        std::optional<QFileDialog::FileMode> mode;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            mode = dialog->fileMode();
            // Typed into the name box: selectFile() leaves a focused box as it is.
            auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
            if (action == "accept" && name) {
                name->setText(file);
                static_cast<QDialog *>(dialog)->accept(); // public there
            } else if (action == "unload") {
                ConfigurationRef::program().unloadAndRelease();
            } else {
                dialog->reject();
            }
        });
        poll.start(10);
        if (action.startsWith("keys:")) {
            QTest::keyClicks(window->findChild<QLineEdit *>("txtLamePath"), action.mid(5));
        } else {
            QTest::mouseClick(window->findChild<QPushButton *>("cmdSelectlme"), Qt::LeftButton);
            QCOMPARE(mode, std::optional(QFileDialog::ExistingFile));
        }
        QCOMPARE(written, onDisk);
        QCOMPARE(values, onDisk);
        QCOMPARE(storedLame(), box);
        if (box == stored)
            QCOMPARE(settingsBytes(), before);
        QCOMPARE(window.isNull(), action == "unload");
        if (window)
            QCOMPARE(window->lamePath(), box);
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched_data()
    {
        // Steps: "store:P" puts P into the file, "noentry" a file without it; "read:P"
        // reads the path through the reference and expects P; "file:P" expects the
        // file to hold P; "show"; "exit" clicks Exit; "release" unloads and releases;
        // "other" activates another window.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("shown"); // else hidden
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("firstWindow"); // the window at the end is the first one loaded

        QTest::newRow("read loads it hidden, and a loaded window is read, not the file")
            << "store:/a read:/a store:/b read:/a" << false << "/a" << true;
        QTest::newRow("load writes an empty path for no entry") << "noentry read: file:" << false << "" << true;
        // The read limit would cut it, and the load's write-back would store the cut path.
        const QString longPath = "/srv/" + QString(60, 'a') + "/" + QString(60, 'b') + "/lame";
        QTest::newRow("load keeps a path past the read limit")
            << QString("store:%1 read:%1 file:%1").arg(longPath) << false << longPath << true;
        QTest::newRow("show twice: one window, brought to the front")
            << "store:/a show other show" << true << "/a" << true;
        QTest::newRow("Exit, then show loads afresh") << "store:/a show exit store:/b show" << true << "/b" << false;
        QTest::newRow("release closes a shown window, then read loads afresh")
            << "store:/a show release store:/b read:/b" << false << "/b" << false;
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched()
    {
        QFETCH(QString, steps);
        QFETCH(bool, shown);
        QFETCH(QString, box);
        QFETCH(bool, firstWindow);
        ConfigurationRef &ref = ConfigurationRef::program();
        QPointer<Configuration> first;
        bool seenFirst = false;
        std::unique_ptr<QWidget> other;

        for (const QString &step : steps.split(' ')) {
            if (step.startsWith("store:")) {
                storeLame(step.mid(6));
            } else if (step == "noentry") {
                writeSettings("[PATHS]\nSource Path=/opt\n");
            } else if (step.startsWith("read:")) {
                QCOMPARE(ref.lamePath(), step.mid(5));
            } else if (step.startsWith("file:")) {
                QCOMPARE(storedLame(), step.mid(5));
                QVERIFY2(settingsBytes().toLower().contains("lame="), "the entry is there");
            } else if (step == "show") {
                ref.show();
            } else if (step == "exit") {
                QTest::mouseClick(ref.window()->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
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
            if (step == "exit" || step == "release")
                QVERIFY(!ref.isLoaded()); // at once, not only once it is destroyed
        }

        Configuration *window = ref.window();
        QVERIFY(window);
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), other ? 2 : 1); // unloaded ones are destroyed
        QCOMPARE(window->isVisible(), shown);
        QCOMPARE(window == first, firstWindow);
        QCOMPARE(window->lamePath(), box);
        if (shown)
            QVERIFY(QTest::qWaitForWindowActive(window));
    }

    void controlsStandWhereDesigned_data()
    {
        QTest::addColumn<QRect>("geometry"); // pixels: twips / 15
        QTest::addColumn<QString>("text");

        QTest::newRow("lblLamepath") << QRect(16, 16, 121, 17) << "Path to Lame.exe:";
        QTest::newRow("txtLamePath") << QRect(16, 32, 233, 19) << "Text1";
        QTest::newRow("cmdSelectlme") << QRect(248, 32, 25, 25) << "";
        QTest::newRow("cmdQuit") << QRect(200, 72, 73, 25) << "Exit";
    }

    void controlsStandWhereDesigned()
    {
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        Configuration window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Configuration"));
        QCOMPARE(window.size(), QSize(280, 98));
        QWidget *control = window.findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->property("text").toString(), text);
    }

    void hiddenWindowDoesNotKeepTheProgramAlive()
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
        QObject guard;
        QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(1); });

        QCOMPARE(QApplication::exec(), 0);
        // The window still loaded at the end went with the program.
        QVERIFY(hidden.isNull());
        QVERIFY(!ConfigurationRef::program().isLoaded());
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
