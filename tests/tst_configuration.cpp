// The configuration window on real settings files in a temporary program folder.
#include "platform/profile.h"
#include "settings/location.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/filedialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;
using ui::ConfigurationRef;

namespace {

// The whole stored value, past the settings read limit.
QString storedLame()
{
    return platform::GetPrivateProfileString("PATHS", "LAME", "<missing>", 32768, settings::settingsFilePath());
}

QByteArray settingsBytes()
{
    QFile file(settings::settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// With the path given, or without an entry when it is null.
void storeLame(const QString &path)
{
    const QByteArray content = "[PATHS]\nSource Path=/opt\n" + (path.isNull() ? "" : "LAME=" + path.toUtf8() + "\n");
    QFile file(settings::settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
}

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        settings::setProgramFolderForTesting(m_dir->path());
    }

    void cleanup()
    {
        ConfigurationRef::program().unloadAndRelease();
        QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
        settings::setProgramFolderForTesting(QString());
    }

    void eachChangeOfTheBoxWritesItOnce_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("action"); // "keys:" typed ('\b' is Backspace); "pick:" a file; "cancel"; "unload"
        QTest::addColumn<QStringList>("onDisk"); // the stored path at each write
        QTest::addColumn<QString>("box");

        QTest::newRow("typing: a write per key") << "/lamx" << "keys:\be" << QStringList{"/lam", "/lame"} << "/lame";
        QTest::newRow("picking a file") << "/a" << "pick:/b" << QStringList{"/b", "/b"} << "/b";
        QTest::newRow("picking the file already shown") << "/a" << "pick:/a" << QStringList{"/a"} << "/a";
        QTest::newRow("cancelled dialog") << "/a" << "cancel" << QStringList{} << "/a";
        // A run that ends while the real dialog is open unloads the window from inside the dialog's event loop.
        QTest::newRow("window unloaded while its dialog is open") << "/a" << "unload" << QStringList{} << "/a";
    }

    void eachChangeOfTheBoxWritesItOnce()
    {
        QFETCH(QString, stored);
        QFETCH(QString, action);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, box);
        storeLame(stored);
        ConfigurationRef::program().show();
        QPointer<ui::Configuration> window = ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        const QByteArray before = settingsBytes();
        QStringList written; // what the file holds at each write
        connect(window, &ui::Configuration::lamePathWritten, this, [&] { written << storedLame(); });
        ui::ScriptedFileDialogs dialogs;
        if (action == "unload")
            ui::FileDialog::setHandler({});
        if (action.startsWith("pick:"))
            dialogs.choose(action.mid(5));
        std::optional<QFileDialog::FileMode> mode;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                mode = dialog->fileMode();
                ConfigurationRef::program().unloadAndRelease();
            }
        });
        poll.start(10);
        if (action.startsWith("keys:"))
            QTest::keyClicks(window->findChild<QLineEdit *>("txtLamePath"), action.mid(5));
        else
            QTest::mouseClick(window->findChild<QPushButton *>("cmdSelectlme"), Qt::LeftButton);

        QCOMPARE(dialogs.shown, int(action.startsWith("pick:") || action == "cancel"));
        QCOMPARE(mode, action == "unload" ? std::optional(QFileDialog::ExistingFile) : std::nullopt);
        QCOMPARE(written, onDisk);
        QCOMPARE(storedLame(), box);
        if (box == stored)
            QCOMPARE(settingsBytes(), before);
        QCOMPARE(window ? window->lamePath() : u"<unloaded>"_s, action == "unload" ? u"<unloaded>"_s : box);
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched_data()
    {
        // Steps: "store:P" puts P into the file, "noentry" a file without it; "read:P" reads the path
        // through the reference and expects P; "file:P" expects the file to hold P; "show"; "exit"
        // clicks Exit; "release" unloads and releases; "other" activates another window.
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
        QTest::newRow("show twice: one window, in front") << "store:/a show other show" << true << "/a" << true;
        QTest::newRow("Exit, then show loads afresh") << "store:/a show exit store:/b show" << true << "/b" << false;
        QTest::newRow("shown, released, read anew") << "show release store:/b read:/b" << false << "/b" << false;
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched()
    {
        QFETCH(QString, steps);
        QFETCH(bool, shown);
        QFETCH(QString, box);
        QFETCH(bool, firstWindow);
        ConfigurationRef &ref = ConfigurationRef::program();
        QPointer<ui::Configuration> first;
        bool seenFirst = false;
        std::optional<QWidget> other;

        for (const QString &step : steps.split(' ')) {
            if (step.startsWith("store:")) {
                storeLame(step.mid(6));
            } else if (step == "noentry") {
                storeLame(QString());
            } else if (step.startsWith("read:")) {
                QCOMPARE(ref.lamePath(), step.mid(5));
            } else if (step.startsWith("file:")) {
                QCOMPARE(storedLame(), step.mid(5));
            } else if (step == "show") {
                ref.show();
            } else if (step == "exit") {
                QTest::mouseClick(ref.window()->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
            } else if (step == "release") {
                ref.unloadAndRelease();
            } else if (step == "other") {
                other.emplace().show();
                QVERIFY(QTest::qWaitForWindowActive(&*other));
            }
            if (!seenFirst)
                seenFirst = (first = ref.window());
            if (step == "exit" || step == "release")
                QVERIFY(!ref.isLoaded()); // at once, not only once it is destroyed
        }

        ui::Configuration *window = ref.window();
        QVERIFY(window);
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), other ? 2 : 1); // unloaded ones are destroyed
        QCOMPARE(window->isVisible(), shown);
        QCOMPARE(window == first, firstWindow);
        QCOMPARE(window->lamePath(), box);
        if (shown)
            QVERIFY(QTest::qWaitForWindowActive(window));
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
