// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration window on real settings files in a temporary program folder.
#include "platform/profile.h"
#include "scriptedfiledialogs.h"
#include "settings/location.h"
#include "ui/windows/configuration.h"
#include "ui/windows/configurationref.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;
using ui::ConfigurationRef;

namespace {

// The whole stored value, past the settings read limit.
QString storedLame()
{
    return platform::GetPrivateProfileString("PATHS", "LAME", "<missing>", 32768,
                                             settings::settingsFilePath());
}

QByteArray settingsBytes()
{
    QFile file(settings::settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A settings file with the path given, or without an entry for it when the path is null.
void storeLame(const QString &path)
{
    const QByteArray content = "[PATHS]\nSource Path=/opt\n"
                               + (path.isNull() ? "" : "LAME=" + path.toUtf8() + "\n");
    QFile file(settings::settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
}

// How the path box is changed: keys typed; a file chosen in the dialog; the dialog cancelled; the real
// dialog shown, and the window unloaded from inside its event loop.
enum class Change { Typed, Picked, DialogCancelled, UnloadedWhileDialogOpen };

// What a script of steps works on: the program's one reference to the window, the first window it ever
// loaded (so that a reused window can be told from a new one), and another window to take the focus.
struct Scene {
    ConfigurationRef &ref = ConfigurationRef::program();
    QPointer<ui::Configuration> first;
    bool loadedOnce = false;
    std::optional<QWidget> other;
};

// One step, checked as it goes.
using Step = std::function<void(Scene &)>;
using Script = QList<Step>;

const auto store = [](const QString &path) -> Step { return [path](Scene &) { storeLame(path); }; };
const auto readsBox = [](const QString &box) -> Step {
    return [box](Scene &s) { QCOMPARE(s.ref.lamePath(), box); };
};
const auto fileHolds = [](const QString &path) -> Step {
    return [path](Scene &) { QCOMPARE(storedLame(), path); };
};
const Step show = [](Scene &s) { s.ref.show(); };
const Step activateOther = [](Scene &s) {
    s.other.emplace().show();
    QVERIFY(QTest::qWaitForWindowActive(&*s.other));
};
// Unloaded at once, not only once the window is destroyed.
const Step clickExit = [](Scene &s) {
    QTest::mouseClick(s.ref.window()->findChild<QPushButton *>("cmdQuit"), Qt::LeftButton);
    QVERIFY(!s.ref.isLoaded());
};

// The window at the end of a script.
struct Outcome {
    bool shown = false; // else loaded and hidden
    QString box;
    bool firstWindow = true; // the first window loaded, not a later one
};

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Outcome)

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
        QTest::addColumn<Change>("change");      // of the path /a
        QTest::addColumn<QString>("input");      // keys typed ('\b' is Backspace), or the file picked
        QTest::addColumn<QStringList>("writes"); // what the file holds at each write; the last stays
        QTest::newRow("each typed key writes the box once")
            << Change::Typed << u"\be"_s << QStringList{"/", "/e"};
        QTest::newRow("a picked file is written by the box's change and by the pick")
            << Change::Picked << u"/b"_s << QStringList{"/b", "/b"};
        QTest::newRow("a cancelled dialog writes nothing")
            << Change::DialogCancelled << QString() << QStringList{};
        QTest::newRow("a window unloaded while its dialog is open writes nothing")
            << Change::UnloadedWhileDialogOpen << QString() << QStringList{};
    }

    void eachChangeOfTheBoxWritesItOnce()
    {
        QFETCH(Change, change);
        QFETCH(QString, input);
        QFETCH(QStringList, writes);
        const QString result = writes.isEmpty() ? u"/a"_s : writes.last();
        storeLame(u"/a"_s);
        ConfigurationRef::program().show();
        QPointer<ui::Configuration> window = ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        const QByteArray before = settingsBytes();
        QStringList written;
        QObject listener; // the connection ends with this function, even should the window outlive it
        connect(window, &ui::Configuration::lamePathWritten, &listener, [&] { written << storedLame(); });

        testsupport::ScriptedFileDialogs dialogs;
        if (change == Change::Picked)
            dialogs.choose(input);
        if (change == Change::UnloadedWhileDialogOpen)
            ui::FileDialog::setHandler({}); // the real dialog
        // A real dialog, wherever one opens, is noted and answered by unloading the window, as a run that
        // ends while it is open does.
        std::optional<QFileDialog::FileMode> realDialog;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                realDialog = dialog->fileMode();
                ConfigurationRef::program().unloadAndRelease();
            }
        });
        poll.start(10);
        if (change == Change::Typed)
            QTest::keyClicks(window->findChild<QLineEdit *>("txtLamePath"), input);
        else
            QTest::mouseClick(window->findChild<QPushButton *>("cmdSelectlme"), Qt::LeftButton);

        const bool unloaded = change == Change::UnloadedWhileDialogOpen;
        QCOMPARE(dialogs.shown, change == Change::Picked || change == Change::DialogCancelled ? 1 : 0);
        QCOMPARE(realDialog, unloaded ? std::optional(QFileDialog::ExistingFile) : std::nullopt);
        QCOMPARE(written, writes);
        QCOMPARE(storedLame(), result);
        if (writes.isEmpty())
            QCOMPARE(settingsBytes(), before); // not even rewritten
        QCOMPARE(window.isNull(), unloaded);
        if (window)
            QCOMPARE(window->lamePath(), result);
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<Outcome>("outcome");
        // The read limit would cut it, and the load's write-back would store the cut path.
        const QString longPath = "/srv/" + QString(60, 'a') + "/" + QString(60, 'b') + "/lame";

        // A row: its name, the window at the end, and the steps that lead there.
        const auto row = [](const char *name, const Outcome &outcome, const Script &script) {
            QTest::newRow(name) << script << outcome;
        };
        row("a read loads the window hidden; once loaded, the window is read, not the file", {.box = "/a"},
            {store("/a"), readsBox("/a"), store("/b"), readsBox("/a")});
        row("a load without an entry writes an empty path back", {.box = ""},
            {store(QString()), readsBox(""), fileHolds("")});
        row("a load keeps a path past the read limit", {.box = longPath},
            {store(longPath), readsBox(longPath), fileHolds(longPath)});
        row("showing twice keeps one window and brings it to the front", {.shown = true, .box = "/a"},
            {store("/a"), show, activateOther, show});
        row("after Exit, showing loads a new window that reads the file afresh",
            {.shown = true, .box = "/b", .firstWindow = false},
            {store("/a"), show, clickExit, store("/b"), show});
    }

    void referenceKeepsOneWindowAndLoadsItWhenTouched()
    {
        QFETCH(Script, script);
        QFETCH(Outcome, outcome);
        Scene scene;
        for (const Step &step : script) {
            step(scene);
            if (QTest::currentTestFailed())
                return;
            if (!scene.loadedOnce) {
                scene.first = scene.ref.window();
                scene.loadedOnce = !scene.first.isNull();
            }
        }

        ui::Configuration *window = scene.ref.window();
        QVERIFY(window);
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), scene.other ? 2 : 1); // unloaded ones destroyed
        QCOMPARE(window->isVisible(), outcome.shown);
        QCOMPARE(window == scene.first, outcome.firstWindow);
        QCOMPARE(window->lamePath(), outcome.box);
        if (outcome.shown)
            QVERIFY(QTest::qWaitForWindowActive(window));
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
