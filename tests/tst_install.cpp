// SPDX-License-Identifier: GPL-3.0-or-later

// The install and the Debian package, checked without touching the machine:
// everything goes into temporary folders, and the packaged program is started
// from an extracted copy with a temporary home.

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <optional>

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
    QProcess process; // going out of scope kills a step that hangs
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QDir::tempPath());
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    output = finished ? QString::fromUtf8(process.readAll())
                      : process.errorString() + " (see scripts/setup.sh)";
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_tmp;
    QString m_prefix;
    QString m_package;
    QString m_root; // the package extracted

    QString installed(const QString &file) const { return m_prefix + "/" + file; }

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
    }

    // The package holds what the install holds, under /usr, and both hold the program's files.
    void installAndPackageHoldTheSameFiles()
    {
        QStringList files, packaged;
        for (QDirIterator it(m_prefix, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            files << QDir(m_prefix).relativeFilePath(it.next());
        for (QDirIterator it(m_root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            packaged << QDir(m_root).relativeFilePath(it.next()).replace(QRegularExpression("^usr/"), "");
        files.sort();
        packaged.sort();
        for (const QString &file :
             QStringList{"bin/purlwave", "share/doc/purlwave/copyright",
                         "share/doc/purlwave/changelog.Debian.gz", "share/man/man1/purlwave.1.gz",
                         "share/purlwave/purlwave.chm", kDesktopEntry, kMetainfo, kScalableIcon})
            QVERIFY2(files.contains(file), qPrintable(file + " is missing from " + files.join(' ')));
        QCOMPARE(packaged, files);
        QVERIFY(QFileInfo(installed("bin/purlwave")).isExecutable());
    }

    // Each checker's own verdict: no error and no warning; notes and pedantic hints may stay.
    void checkersPassInstallAndPackage_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("desktop entry") << QStringList{"desktop-file-validate", installed(kDesktopEntry)};
        // No --no-net: the metainfo names no address, so this needs no network and keeps it so.
        QTest::newRow("metainfo") << QStringList{"appstreamcli", "validate", "--pedantic",
                                                 installed(kMetainfo)};
        QTest::newRow("package") << QStringList{"lintian", "-I", "--pedantic", "--allow-root", m_package};
        // A plain build carries no hardening flags; the presets' default build does. The program calls no
        // C library function that _FORTIFY_SOURCE can check (memcpy and memmove only, at sizes known at
        // run time), and Debian 12's flags carry no control flow protection.
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

    void desktopEntryStartsTheInstalledProgramWithItsIconForWavFiles()
    {
        const QByteArray entry = bytesOf(installed(kDesktopEntry));
        const QByteArray id = kId.toUtf8();
        for (const QByteArray &line :
             QByteArrayList{"\nExec=purlwave %F\n", "\nIcon=" + id + "\n", "\nMimeType=", "audio/x-wav;",
                            "audio/wav;", "audio/vnd.wave;"})
            QVERIFY2(entry.contains(line), entry.constData());
        const QByteArray metainfo = bytesOf(installed(kMetainfo));
        QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));
        QVERIFY(metainfo.contains("<release version=\"" + kVersion.toUtf8() + "\""));
    }

    // lintian checks each PNG icon's size against its folder, but reads no SVG file.
    void scalableIconIsSvg()
    {
        QXmlStreamReader svg(bytesOf(installed(kScalableIcon)));
        QVERIFY(svg.readNextStartElement() && svg.name() == QLatin1String("svg"));
        while (!svg.atEnd())
            svg.readNext();
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    }

    void packageControlNamesWhatTheProgramNeeds_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected"); // each must be named in the field
        QTest::newRow("depends on Qt's libraries, its platform plugins and the encoder")
            << "Depends"
            << QStringList{"libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins", "lame"};
        QTest::newRow("recommends the file opener, a help viewer and Qt's Wayland plugin")
            << "Recommends" << QStringList{"xdg-utils", "xchm", "qt6-wayland"};
        QTest::newRow("is the first Debian revision of this release")
            << "Version" << QStringList{kVersion + "-1"};
    }
    void packageControlNamesWhatTheProgramNeeds()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        RUN_OR_FAIL(control, "dpkg-deb", {"-f", m_package, field});
        for (const QString &want : expected) {
            const QRegularExpression item("(^|, )" + QRegularExpression::escape(want) + "( \\(|,|$)");
            QVERIFY2(item.match(control.trimmed()).hasMatch(), qPrintable(field + ": " + control));
        }
    }

    void packagedProgramKeepsItsSettingsInTheUsersHome()
    {
        const QString home = m_tmp->filePath("home");
        QVERIFY(QDir().mkpath(home + "/runtime"));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("XDG_CONFIG_HOME");
        env.insert("XDG_RUNTIME_DIR", home + "/runtime");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.setWorkingDirectory(home);
        program.start(m_root + "/usr/bin/purlwave");
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        // The first run's last default is the encoder's path. The wait ends when it is written
        // in either place or the program ends, so a wrong place fails at once.
        const QString settings = home + "/.config/Purlwave/purlwave.ini";
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(settings).contains("LAME=")
                                     || QFile::exists(m_root + "/usr/bin/purlwave.ini")
                                     || program.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(QDir(m_root + "/usr/bin").entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave"});
        QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
        const QByteArray saved = bytesOf(settings);
        program.kill();
        QVERIFY(program.waitForFinished());

        // The program folder is shared: the MP3 files go beside their sources.
        QVERIFY2(saved.contains("\nDestination Path=\n"), saved.constData());
        QVERIFY2(saved.contains("Default Encoding=1"), saved.constData());
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
