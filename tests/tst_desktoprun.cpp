// SPDX-License-Identifier: GPL-3.0-or-later
// A run as the desktop sees it beside the window, on a session bus of the test's own: the taskbar entry's
// progress and the note at the end, seen by a listener there; and Escape, which stops a run.
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

enum class Bus { None, NoNotifier, Listening }; // none at the address; no notification service; the test's
enum class Escape { Never, BeforeRun, DuringRun };

class TestDesktopRun : public QObject, testsupport::ProgramFixture {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

    QProcess m_daemon;
    QString m_address;
    QList<double> m_progress; // as the taskbar entry shows it; -1: taken off
    QStringList m_notes;

public slots: // served on the test's bus
    uint Notify(const QString &, uint, const QString &icon, const QString &summary, const QString &,
                const QStringList &, const QVariantMap &hints, int)
    {
        m_notes << summary + " | " + icon + " | " + hints.value("desktop-entry").toString();
        return 1;
    }
    void Update(const QString &app, const QVariantMap &properties)
    {
        if (app == "application://org.example.Purlwave.desktop")
            m_progress << (properties["progress-visible"].toBool() ? properties["progress"].toDouble() : -1);
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
        QVERIFY(bus.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                            SLOT(Update(QString, QVariantMap))));
    }
    void cleanupTestCase()
    {
        m_daemon.terminate();
        QVERIFY(m_daemon.waitForFinished());
    }
    void init() { m_progress.clear(), m_notes.clear(), QTest::failOnWarning(QRegularExpression(".?")); }
    void cleanup() { QVERIFY(end()); }

    void runShowsOnTheDesktop_data()
    {
        QTest::addColumn<Bus>("bus");
        QTest::addColumn<bool>("away");    // another window active at the end
        QTest::addColumn<bool>("failing"); // every file
        QTest::addColumn<Escape>("escape");
        QTest::addColumn<QString>("note"); // empty: none
        QTest::newRow("user at the window, an Escape before the run stops nothing; no note")
            << Bus::Listening << false << false << Escape::BeforeRun << QString();
        QTest::newRow("user away: a note of the files encoded")
            << Bus::Listening << true << false << Escape::Never << "2 files encoded";
        QTest::newRow("user away, every file failing: a note of the failures")
            << Bus::Listening << true << true << Escape::Never << "2 of 2 files failed";
        QTest::newRow("Escape during the run stops it after the first file, as Cancel does")
            << Bus::Listening << true << false << Escape::DuringRun << "Stopped: 1 file encoded";
        QTest::newRow("no notification service: the run ends as ever, silently")
            << Bus::NoNotifier << true << false << Escape::Never << QString();
        QTest::newRow("no session bus: the run ends as ever, silently")
            << Bus::None << true << false << Escape::Never << QString();
    }

    void runShowsOnTheDesktop()
    {
        QFETCH(Bus, bus);
        QFETCH(bool, away);
        QFETCH(bool, failing);
        QFETCH(Escape, escape);
        QFETCH(QString, note);
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                bus == Bus::None ? "unix:path=/nonexistent/bus" : m_address.toLatin1());
        QDBusConnection listener(QStringLiteral("listener"));
        listener.unregisterService("org.freedesktop.Notifications");
        QVERIFY(bus != Bus::Listening || listener.registerService("org.freedesktop.Notifications"));
        // The options follow the encoder's path on its command line.
        QVERIFY(start(testsupport::standinEncoder() + (failing ? " --exit 3" : " --bytes 5000")));
        testsupport::RecordedMessageBoxes boxes;
        for (const char *name : {"one.wav", "two.wav"})
            QVERIFY(testsupport::writeToneWav(path(name), 0.25)); // as long as the stand-in's 11 frames
        control<QListWidget>("lstWavefiles")->addItems({path("one.wav"), path("two.wav")});
        QWidget elsewhere; // another program's window, as far as this one can tell
        if (away)
            elsewhere.show();
        QTRY_COMPARE(m_window->isActiveWindow(), !away);

        const auto escapeKey = [this] { QTest::keyClick(control("txtOutPath"), Qt::Key_Escape); };
        if (escape != Escape::Never) // during the run: at its first pass of the event loop
            escape == Escape::BeforeRun ? escapeKey() : QTimer::singleShot(0, this, escapeKey);
        click("cmdEncode");
        QCOMPARE(m_window->windowTitle(), escape == Escape::DuringRun ? batch::BatchRun::titleStopped()
                                                                      : batch::BatchRun::titleCompleted());
        if (bus != Bus::None) {
            // The note goes out before the entry is cleared, so it has arrived once the clearing has.
            QTRY_VERIFY(!m_progress.isEmpty() && m_progress.last() == -1);
            QVERIFY(m_progress.startsWith(0) && std::is_sorted(m_progress.begin(), m_progress.end() - 1));
            QCOMPARE(m_progress.contains(0.5), escape != Escape::DuringRun);
            QCOMPARE(m_notes.join(""),
                     note.isEmpty() ? note : note + " | org.example.Purlwave | org.example.Purlwave");
        }
    }
};

QTEST_MAIN(TestDesktopRun)
#include "tst_desktoprun.moc"
