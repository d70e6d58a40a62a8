// SPDX-License-Identifier: GPL-3.0-or-later
// A run as the desktop sees it beside the window, on a session bus of the test's own: the taskbar entry's
// progress, heard with the times it arrives, and the note at the end, which answers a click; and Escape,
// which stops a run.
#include "dialogstandins.h"
#include "programsupport.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

enum class Bus { None, NoNotifier, Listening }; // none at the address; no notification service; the test's
enum class Escape { Never, BeforeRun, DuringRun, Quit }; // Quit: pressed during the run

// Each file a fifth of a second, and done to the full per cent, as the encoder says at its end: a run of two
// shows half done on its way.
QString toldProgress() { return testsupport::standinEncoder() + " --bytes 5000 --delay 200 --stderr (100%)"; }

// Hears the taskbar entry on a thread of its own, so that the times are those of arrival, whatever the
// test's thread (which runs the program) is busy with.
class EntryListener : public QObject {
    Q_OBJECT
public:
    QMutex m_lock;
    QElapsedTimer m_sinceLast;
    QList<double> m_heard; // progress as the entry shows it (-1: taken off); -2 before one that came too soon

public slots:
    void Update(const QString &app, const QVariantMap &properties)
    {
        const QMutexLocker locked(&m_lock);
        // Never two within a dock's guard interval: half the program's 150 ms, allowing for the listener.
        if (!m_heard.isEmpty() && m_sinceLast.elapsed() < 75)
            m_heard << -2;
        m_sinceLast.start();
        if (app == "application://org.example.Purlwave.desktop")
            m_heard << (properties["progress-visible"].toBool() ? properties["progress"].toDouble() : -1);
    }
};

class TestDesktopRun : public QObject, testsupport::ProgramFixture {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

    QProcess m_daemon;
    QString m_address;
    QThread m_thread;
    EntryListener m_entry;
    QStringList m_notes;
    QList<uint> m_replaced; // the note each Notify replaced
    uint m_lastId = 40;

    QList<double> heard()
    {
        const QMutexLocker locked(&m_entry.m_lock);
        return m_entry.m_heard;
    }
    void serverSends(const QString &name, uint id, const QVariant &argument)
    {
        QDBusMessage message = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                          "org.freedesktop.Notifications", name);
        QVERIFY(QDBusConnection("listener").send(message << id << argument));
    }

public slots: // served on the test's bus
    uint Notify(const QString &, uint replaced, const QString &icon, const QString &summary, const QString &,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        const QString id = "org.example.Purlwave"; // icon, desktop entry; a click is the default action
        const bool named = icon == id && hints.value("desktop-entry") == id
                           && actions == QStringList{"default", "Show Purlwave"};
        m_notes << (named ? summary : "unnamed: " + summary);
        m_replaced << replaced;
        return replaced != 0 ? replaced : ++m_lastId;
    }

private slots:
    void initTestCase()
    {
        QGuiApplication::setDesktopFileName("org.example.Purlwave"); // as the program's start does
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(m_daemon.waitForReadyRead(10000));
        m_address = QString::fromLatin1(m_daemon.readLine().trimmed());
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, "listener");
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots));
        m_entry.moveToThread(&m_thread);
        m_thread.start();
        QVERIFY(bus.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", &m_entry,
                            SLOT(Update(QString, QVariantMap))));
    }
    void cleanupTestCase()
    {
        m_thread.quit();
        QVERIFY(m_thread.wait());
        m_daemon.terminate();
        QVERIFY(m_daemon.waitForFinished());
    }
    void init()
    {
        const QMutexLocker locked(&m_entry.m_lock);
        m_entry.m_heard.clear(), m_notes.clear(), m_replaced.clear();
        QTest::failOnWarning(QRegularExpression(".?"));
    }
    void cleanup() { QVERIFY(end()); }

    void runShowsOnTheDesktop_data()
    {
        QTest::addColumn<Bus>("bus");
        QTest::addColumn<bool>("away"); // another window active at the end
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<Escape>("escape");
        QTest::addColumn<QString>("note"); // empty: none
        const QString slow = toldProgress();
        // The options follow the encoder's path on its command line. Without a bus first: each connection
        // reads the address afresh.
        QTest::newRow("no session bus: the run ends as ever, silently")
            << Bus::None << true << slow << Escape::Never << QString();
        QTest::newRow("user at the window, an Escape before the run stops nothing; no note")
            << Bus::Listening << false << slow << Escape::BeforeRun << QString();
        QTest::newRow("user away: a note of the files encoded")
            << Bus::Listening << true << testsupport::realLame() << Escape::Never << "2 files encoded";
        QTest::newRow("user away, every file failing at once: a note of the failures")
            << Bus::Listening << true << testsupport::standinEncoder() + " --exit 3" << Escape::Never
            << "2 of 2 files failed";
        QTest::newRow("Escape during the run stops it after the first file, as Cancel does")
            << Bus::Listening << true << testsupport::standinEncoder() + " --bytes 5000 --delay 600"
            << Escape::DuringRun << "Stopped: 1 file encoded"; // past a poll, with no progress told
        QTest::newRow("no notification service: the run ends as ever, silently")
            << Bus::NoNotifier << true << slow << Escape::Never << QString();
        QTest::newRow("Quit during the run: the bar goes with the window")
            << Bus::Listening << true << slow << Escape::Quit << QString();
    }

    void runShowsOnTheDesktop()
    {
        QFETCH(Bus, bus);
        QFETCH(bool, away);
        QFETCH(QString, encoder);
        QFETCH(Escape, escape);
        QFETCH(QString, note);
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                bus == Bus::None ? "unix:path=/nonexistent/bus" : m_address.toLatin1());
        QDBusConnection listener(QStringLiteral("listener"));
        listener.unregisterService("org.freedesktop.Notifications");
        QVERIFY(bus != Bus::Listening || listener.registerService("org.freedesktop.Notifications"));
        QVERIFY(start(encoder));
        testsupport::RecordedMessageBoxes boxes;
        for (const char *name : {"one.wav", "two.wav"})
            QVERIFY(testsupport::writeToneWav(path(name), 0.25)); // as long as the stand-in's 11 frames
        control<QListWidget>("lstWavefiles")->addItems({path("one.wav"), path("two.wav")});
        QWidget elsewhere; // another program's window, as far as this one can tell
        if (away)
            elsewhere.show();
        QTRY_COMPARE(m_window->isActiveWindow(), !away);

        const auto escapeKey = [this] { QTest::keyClick(control("txtOutPath"), Qt::Key_Escape); };
        QTimer during; // once the bar shows
        during.callOnTimeout([&] {
            if (!heard().isEmpty())
                during.stop(), escape == Escape::Quit ? click("cmdQuit") : escapeKey();
        });
        if (escape != Escape::Never)
            escape == Escape::BeforeRun ? escapeKey() : during.start(0);
        click("cmdEncode");
        if (escape
            == Escape::Quit) // with the window; a dock puts off an update that comes too soon, and keeps it
            QTRY_COMPARE(heard().value(heard().size() - 1), -1.0);
        else
            QCOMPARE(m_window->windowTitle(), escape == Escape::DuringRun
                                                  ? batch::BatchRun::titleStopped()
                                                  : batch::BatchRun::titleCompleted());
        if (bus != Bus::None && escape != Escape::Quit) {
            // The last state always comes, however soon after the one before; the note before it.
            QTRY_VERIFY(!heard().isEmpty() && heard().last() == -1);
            const QList<double> progress = heard();
            // Rising, no state twice, none too soon; the full bar, taken off at once, never shown.
            QVERIFY2(progress.startsWith(0) && !progress.contains(1)
                         && std::is_sorted(progress.begin(), progress.end() - 1, std::less_equal()),
                     std::unique_ptr<char[]>(QTest::toString(progress)).get());
            QCOMPARE(progress.contains(0.5), encoder == toldProgress());
            QCOMPARE(m_notes.join(""), note);
        }
    }

    // While a note shows, the next run's note takes its place; a click on it (and on no other program's)
    // brings the window back, active. A closed note is replaced by none; a refused run sends none.
    void noteAnswersAClick()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLatin1());
        QVERIFY(QDBusConnection("listener").registerService("org.freedesktop.Notifications"));
        QVERIFY(start(testsupport::standinEncoder() + " --bytes 5000 --delay 200"));
        testsupport::RecordedMessageBoxes boxes;
        QVERIFY(testsupport::writeToneWav(path("one.wav"), 1.0));
        control<QListWidget>("lstWavefiles")->addItem(path("one.wav"));
        QWidget elsewhere;
        elsewhere.show();
        m_window->showMinimized();
        QTRY_VERIFY(!m_window->isActiveWindow());
        click("cmdEncode");
        QTRY_COMPARE(m_replaced, QList<uint>({0}));
        const uint shown = m_lastId;
        serverSends("ActionInvoked", shown + 1, "default"); // another program's note
        serverSends("ActionInvoked", shown, "other");       // an action but the click
        click("cmdEncode");
        QTRY_COMPARE(m_replaced, QList<uint>({0, shown}));
        QVERIFY(m_window->isMinimized() && !m_window->isActiveWindow());

        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()"); // but it is asked to
        serverSends("ActionInvoked", shown, "default");
        QTRY_VERIFY(m_window->isActiveWindow() && !m_window->isMinimized());
        serverSends("NotificationClosed", shown, 2u); // dismissed
        elsewhere.activateWindow();
        QTRY_VERIFY(!m_window->isActiveWindow());
        click("cmdClearWav"), click("cmdEncode"); // refused: its box says why
        control<QListWidget>("lstWavefiles")->addItem(path("one.wav"));
        click("cmdEncode");
        QTRY_COMPARE(m_replaced, QList<uint>({0, shown, 0}));
        QCOMPARE(m_notes, QStringList(3, m_notes.value(0))); // none from the refused run
    }
};

QTEST_MAIN(TestDesktopRun)
#include "tst_desktoprun.moc"
