// SPDX-License-Identifier: GPL-3.0-or-later

// The install and the Debian package, checked without touching the machine: everything goes into
// temporary folders. Each step stops the test at once when it fails.
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using testsupport::fileBytes;

namespace {
const QString kBuildDir = QStringLiteral(PURLWAVE_BUILD_DIR);
const QString kVersion = QStringLiteral(PURLWAVE_VERSION);
const QString kId = QStringLiteral("org.example.Purlwave");
const QString kDesktopEntry = "share/applications/" + kId + ".desktop";
const QString kMetainfo = "share/metainfo/" + kId + ".metainfo.xml";
const QString kScalableIcon = "share/icons/hicolor/scalable/apps/" + kId + ".svg";

// Runs a step to its end and fails the test at once, with the step's output, when it fails.
#define RUN_OR_FAIL(output, program, ...)                                                                    \
    QString output;                                                                                          \
    QVERIFY2(run(output, program, __VA_ARGS__), qPrintable(QString(program) + " failed:\n" + output))

bool run(QString &output, const QString &program, const QStringList &arguments)
{
    QProcess process; // going out of scope kills a step that hangs; a loaded machine makes cpack slow
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(240000);
    const bool missing = process.error() == QProcess::FailedToStart;
    output = finished ? QString::fromUtf8(process.readAll())
                      : process.errorString() + (missing ? " (run scripts/setup.sh)" : "");
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QStringList filesIn(const QString &root)
{
    QStringList files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_tmp;
    QString m_prefix, m_package, m_root; // m_root: the package extracted

    QString installed(const QString &file) const { return m_prefix + "/" + file; }
    QString homeSettings() const { return m_tmp->filePath("home/.config/Purlwave/purlwave.ini"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.emplace().isValid());
        m_prefix = m_tmp->filePath("prefix");
        m_root = m_tmp->filePath("root");
        RUN_OR_FAIL(install, PURLWAVE_CMAKE_COMMAND, {"--install", kBuildDir, "--prefix", m_prefix});
        const QString packages = m_tmp->filePath("packages");
        RUN_OR_FAIL(cpack, PURLWAVE_CPACK_COMMAND,
                    {"--config", kBuildDir + "/CPackConfig.cmake", "-G", "DEB", "-B", packages});
        const QStringList debs = QDir(packages).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_package = QDir(packages).filePath(debs.first());
        RUN_OR_FAIL(extract, "dpkg-deb", {"-x", m_package, m_root});
        RUN_OR_FAIL(control, "dpkg-deb", {"-e", m_package, m_tmp->filePath("control")});
        // The package holds what the install holds, under /usr, and what only a Debian package carries.
        QStringList packaged = filesIn(m_prefix).replaceInStrings(QRegularExpression("^"), "usr/")
                               << "usr/share/doc/purlwave/changelog.Debian.gz"
                               << "usr/share/lintian/overrides/purlwave";
        packaged.sort();
        QCOMPARE(filesIn(m_root), packaged);

        // The packaged program's first start, with a temporary home; its settings are read below.
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_tmp->filePath("home"));
        env.remove("XDG_CONFIG_HOME");
        env.insert("XDG_RUNTIME_DIR", m_tmp->path()); // private to this user, as Qt requires
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(m_root + "/usr/bin/purlwave");
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        // The first run's last default is the encoder's path. The wait ends when it is written
        // in either place or the program ends, so a wrong place fails at once.
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(homeSettings()).contains("LAME=")
                                     || QFile::exists(m_root + "/usr/bin/purlwave.ini")
                                     || program.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(QDir(m_root + "/usr/bin").entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave"});
        QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
        program.kill();
        QVERIFY(program.waitForFinished());
    }

    // Each checker's own verdict: no error and no warning; notes and pedantic hints may stay.
    void checkersPassInstallAndPackage_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("desktop entry") << QStringList{"desktop-file-validate", installed(kDesktopEntry)};
        // No --no-net: the metainfo names no address, so this needs no network and keeps it so.
        QTest::newRow("metainfo") << QStringList{"appstreamcli", "validate", "--pedantic",
                                                 installed(kMetainfo)};
        // lintian checks each PNG icon's size against its folder, but reads no SVG file.
        QTest::newRow("scalable icon") << QStringList{"xmllint", "--noout", installed(kScalableIcon)};
        QTest::newRow("package") << QStringList{"lintian", "-I", "--pedantic", "--allow-root", m_package};
        // Only the presets' default build is hardened. _FORTIFY_SOURCE finds no call to check (memcpy and
        // memmove only, at sizes known at run time); Debian 12's flags carry no control flow protection.
#ifdef PURLWAVE_HARDENED
        QTest::newRow("program hardened") << QStringList{"hardening-check", "--nofortify", "--nocfprotection",
                                                         m_root + "/usr/bin/purlwave"};
#endif
    }
    void checkersPassInstallAndPackage()
    {
        QFETCH(QStringList, command);
        RUN_OR_FAIL(output, command.first(), command.mid(1));
        const QRegularExpression complaint("^(E|W):|error", QRegularExpression::MultilineOption);
        QVERIFY2(!output.contains(complaint), qPrintable(output));
    }

    void filesNameWhatTheProgramNeeds_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines"); // each a pattern that some line must match
        const auto field = [](const QString &name, QStringList items) {
            return items.replaceInStrings(QRegularExpression("^(.*)$"),
                                          "^" + name + ": (.*, )?\\1( \\(|,|$)");
        };
        const QString control = m_tmp->filePath("control/control");
        QTest::newRow("desktop entry starts the installed program with its icon for WAV files")
            << installed(kDesktopEntry)
            << QStringList{"^Exec=purlwave %F$", "^Icon=" + kId + "$",
                           "^MimeType=(.*;)?audio/x-wav;(.*;)?audio/wav;(.*;)?audio/vnd.wave;"};
        QTest::newRow("metainfo names the desktop entry and this release")
            << installed(kMetainfo)
            << QStringList{"<launchable type=\"desktop-id\">" + kId + ".desktop</launchable>",
                           "<release version=\"" + QRegularExpression::escape(kVersion) + "\""};
        QTest::newRow("package, the first Debian revision, depends on Qt, its platform plugins, the encoder "
                      "and libsndfile, "
                      "recommends the file opener, a help viewer and Qt's Wayland plugin")
            << control
            << field("Depends", {"libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins", "lame",
                                 "libsndfile1"})
                   + field("Recommends", {"xdg-utils", "xchm", "qt6-wayland"})
                   + field("Version", {kVersion + "-1"});
        // The program folder is shared: the MP3 files go beside their sources.
        QTest::newRow("packaged program's first settings send the MP3 files beside their sources")
            << homeSettings() << QStringList{"^Destination Path=$", "^Default Encoding=1$"};
    }
    void filesNameWhatTheProgramNeeds()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        const QString text = QString::fromUtf8(fileBytes(file));
        for (const QString &line : lines)
            QVERIFY2(text.contains(QRegularExpression(line, QRegularExpression::MultilineOption)),
                     qPrintable(file + " has no line like " + line + ":\n" + text));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
