// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration window on real settings files in a temporary program folder.
#include "dialogstandins.h"
#include "programsupport.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <functional>
#include <optional>

using ui::ConfigurationRef;

namespace {

QString storedLame() { return testsupport::ProgramFixture::stored("PATHS", "LAME"); }

struct Scene {
    ConfigurationRef &ref = ConfigurationRef::program();
    std::optional<QWidget> other;
    QStringList writes; // what the file held after each change of the box (written by then by the window)
    QObject listener;   // the connections end with the scene, should the window outlive it
    void click(const char *button) const
    {
        QTest::mouseClick(ref.window()->findChild<QPushButton *>(button), Qt::LeftButton);
    }
};
using Step = std::function<void(Scene &)>; // one step, checked as it goes
using Script = QList<Step>;

// A settings file with the path given, or without an entry for it when the path is null.
Step store(const QString &path)
{
    return [path](Scene &) {
        const QByteArray content = "[PATHS]\nSource Path=/opt\n"
                                   + (path.isNull() ? "" : "LAME=" + path.toUtf8());
        QFile file(settings::settingsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    };
}
// The path box as the batch reads it, loading the window if need be; then the file.
Step reads(const QString &box, const QString &file)
{
    return [=](Scene &s) {
        QCOMPARE(s.ref.lamePath(), box);
        QCOMPARE(storedLame(), file);
    };
}
const Step show = [](Scene &s) {
    s.ref.show();
    QVERIFY(QTest::qWaitForWindowActive(s.ref.window()));
    // Connected after the window's own change handler, which has written the box by the time this runs.
    QObject::connect(s.ref.window()->findChild<QLineEdit *>("txtLamePath"), &QLineEdit::textChanged,
                     &s.listener, [&s] { s.writes << storedLame(); });
};
const Step activateOther = [](Scene &s) {
    s.other.emplace().show();
    QVERIFY(QTest::qWaitForWindowActive(&*s.other));
};
const Step clickExit = [](Scene &s) {
    s.click("cmdQuit");
    QVERIFY(!s.ref.window()); // at once, not only once the window is destroyed
};
Step type(const QString &keys) // '\b' is Backspace
{
    return
        [keys](Scene &s) { QTest::keyClicks(s.ref.window()->findChild<QLineEdit *>("txtLamePath"), keys); };
}
// A file chosen (null: a cancel) while another window took the focus; the window has it back afterwards.
Step pick(const QString &path)
{
    return [path](Scene &s) {
        testsupport::ScriptedFileDialogs dialogs;
        if (!path.isNull())
            dialogs.choose(path);
        dialogs.whileOpen = [&s] { activateOther(s); };
        s.click("cmdSelectlme");
        QCOMPARE(dialogs.asked.size(), 1);
        QTRY_COMPARE(QApplication::activeWindow(), s.ref.window());
    };
}
// The real dialog, ended from inside its event loop, the file left as it was: by unloading the window (it
// goes too), or by a cancel of a selected file while a list of names shows (closed first, else the window
// would take no keys).
Step endRealDialog(bool unload)
{
    return [unload](Scene &s) {
        QMenu names;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
                QObject::connect(dialog, &QDialog::finished,
                                 [] { QCOMPARE(QApplication::activePopupWidget(), nullptr); });
                unload ? s.ref.unloadAndRelease()
                       : (dialog->selectFile("/bin/sh"), names.popup({}), dialog->reject());
            }
        });
        poll.start(10);
        const QString before = storedLame();
        s.click("cmdSelectlme");
        QCOMPARE(storedLame(), before);
    };
}

// The window at the end of a script: its box (none: no window is loaded), shown or hidden, the writes.
struct Outcome {
    std::optional<QString> box = {};
    bool shown = true;
    QStringList writes = {};
};

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Outcome)

class TestConfiguration : public QObject, testsupport::ProgramFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(makeFolder()); }
    void cleanup() { QVERIFY(end()); }

    void referenceKeepsOneWindowThatWritesEachChange_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<Outcome>("outcome");
        const QString longPath = "/srv/" + QString(60, 'a') + "/" + QString(60, 'b') + "/lame";
        const auto row = [](const char *name, const Outcome &outcome, const Script &script) {
            QTest::newRow(name) << script << outcome;
        };
        row("a read loads the window hidden, which writes an empty path back; then the window is read",
            {.box = "", .shown = false}, {store({}), reads("", ""), store("/b"), reads("", "/b")});
        row("a load keeps a path past the read limit", {.box = longPath, .shown = false},
            {store(longPath), reads(longPath, longPath)});
        row("showing twice keeps one window in front; after Exit a new one reads the file afresh",
            {.box = "/b"}, {store("/a"), show, activateOther, show, clickExit, store("/b"), show});
        row("each typed key writes the box once", {.box = "/e", .writes = {"/", "/e"}},
            {store("/a"), show, type("\be")});
        row("a cancel writes nothing; a pick is written, by the box's change or, unchanged, again",
            {.box = "/b", .writes = {"/b"}},
            {store("/a"), show, pick({}), store("/z"), pick("/a"), reads("/a", "/a"), pick("/b")});
        row("a window unloaded while its dialog is open writes nothing", {},
            {store("/a"), show, endRealDialog(true)});
        row("a cancel with a file selected and a popup open writes nothing, closing the popup first",
            {.box = "/a"}, {store("/a"), show, endRealDialog(false)});
    }

    void referenceKeepsOneWindowThatWritesEachChange()
    {
        QFETCH(Script, script);
        QFETCH(Outcome, outcome);
        Scene scene;
        for (const Step &step : script) {
            step(scene);
            if (QTest::currentTestFailed())
                return;
        }
        ui::Configuration *window = scene.ref.window();
        QCOMPARE(window ? std::optional(window->lamePath()) : std::nullopt, outcome.box);
        QCOMPARE(scene.writes, outcome.writes);
        if (!window)
            return;
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), scene.other ? 2 : 1); // unloaded ones destroyed
        QCOMPARE(window->isVisible(), outcome.shown);
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
