// SPDX-License-Identifier: GPL-3.0-or-later

// The install and the Debian package, checked without touching the machine:
// everything goes into temporary folders, and the packaged program is started
// from an extracted copy with a temporary home.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
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

struct Run {
    int exitCode = -1;
    QString output; // standard output and standard error together
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QDir::tempPath());
    process.start(program, arguments);
    if (!process.waitForFinished(180000))
        return {-1, program + ": " + process.errorString()}; // going out of scope kills it
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
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

    QString installed(const QString &file) const { return m_prefix + "/" + file; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.emplace().isValid());
        m_prefix = m_tmp->filePath("prefix");
        const Run install = run(PURLWAVE_CMAKE_COMMAND, {"--install", kBuildDir, "--prefix", m_prefix});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));

        const QString packages = m_tmp->filePath("packages");
        const Run cpack = run(PURLWAVE_CPACK_COMMAND,
                              {"--config", kBuildDir + "/CPackConfig.cmake", "-G", "DEB", "-B", packages});
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(packages).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_package = QDir(packages).filePath(debs.first());
    }

    // The package holds what the install holds, under /usr, and both hold the program's files.
    void installAndPackageHoldTheSameFiles()
    {
        QStringList files;
        QDirIterator it(m_prefix, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(m_prefix).relativeFilePath(it.next());
        files.sort();
        for (const QString &file :
             QStringList{"bin/purlwave", "share/doc/purlwave/copyright", "share/man/man1/purlwave.1",
                         "share/purlwave/purlwave.chm", kDesktopEntry, kMetainfo, kScalableIcon})
            QVERIFY2(files.contains(file), qPrintable(file + " is missing from " + files.join(' ')));
        QVERIFY(QFileInfo(installed("bin/purlwave")).isExecutable());

        const Run contents = run("dpkg-deb", {"-c", m_package});
        QCOMPARE(contents.exitCode, 0);
        QStringList packaged;
        for (const QString &line : contents.output.split('\n', Qt::SkipEmptyParts)) {
            const QString path = line.section(' ', -1);
            QVERIFY2(path.startsWith("./usr/"), qPrintable(line));
            if (!path.endsWith('/'))
                packaged << path.mid(6);
        }
        packaged.sort();
        QCOMPARE(packaged, files);
    }

    void installedDesktopFilesPassTheirValidators_data()
    {
        QTest::addColumn<QStringList>("command"); // the last item is the installed file's path
        QTest::newRow("desktop entry: valid") << QStringList{"desktop-file-validate", kDesktopEntry};
        QTest::newRow("metainfo: valid offline")
            << QStringList{"appstreamcli", "validate", "--no-net", kMetainfo};
    }
    void installedDesktopFilesPassTheirValidators()
    {
        QFETCH(QStringList, command);
        const QString found = QStandardPaths::findExecutable(command.first());
        QVERIFY2(!found.isEmpty(), qPrintable(command.first() + " is missing: run scripts/setup.sh"));
        const Run check = run(found, command.mid(1, command.size() - 2) << installed(command.last()));
        QVERIFY2(check.exitCode == 0, qPrintable(check.output));
        const QRegularExpression complaint("^(E|W):|error", QRegularExpression::MultilineOption);
        QVERIFY2(!check.output.contains(complaint), qPrintable(check.output));
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

    void iconsHaveTheSizeOfTheirFolderAndTheScalableOneIsSvg()
    {
        QDirIterator it(m_prefix + "/share/icons/hicolor", {"*.png"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QImageReader icon(it.next());
            const int side = it.fileInfo().dir().path().section('/', -2, -2).section('x', 0, 0).toInt();
            QCOMPARE(icon.format(), "png");
            QCOMPARE(icon.size(), QSize(side, side));
        }
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
        QTest::newRow("recommends the file opener and a help viewer")
            << "Recommends" << QStringList{"xdg-utils", "xchm"};
    }
    void packageControlNamesWhatTheProgramNeeds()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        const Run control = run("dpkg-deb", {"-f", m_package, field});
        QCOMPARE(control.exitCode, 0);
        for (const QString &want : expected) {
            const QRegularExpression item("(^|, )" + QRegularExpression::escape(want) + "( \\(|,|$)");
            QVERIFY2(item.match(control.output.trimmed()).hasMatch(),
                     qPrintable(field + ": " + control.output));
        }
    }

    void packagedProgramKeepsItsSettingsInTheUsersHome()
    {
        const QString root = m_tmp->filePath("root");
        const QString home = m_tmp->filePath("home");
        QVERIFY(QDir().mkpath(home + "/runtime"));
        QVERIFY(QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                             | QFileDevice::ExeOwner));
        const Run extract = run("dpkg-deb", {"-x", m_package, root});
        QVERIFY2(extract.exitCode == 0, qPrintable(extract.output));

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("XDG_CONFIG_HOME");
        env.insert("XDG_RUNTIME_DIR", home + "/runtime");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home);
        program.start(root + "/usr/bin/purlwave");
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        const QString settings = home + "/.config/Purlwave/purlwave.ini";
        // The first run's last default is the encoder's path.
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(settings).contains("LAME="), 60000);
        const QByteArray written = bytesOf(settings);
        program.kill();
        QVERIFY(program.waitForFinished());

        // The program folder is shared: the MP3 files go beside their sources.
        QVERIFY2(written.contains("\nDestination Path=\n"), written.constData());
        QVERIFY2(written.contains("Default Encoding=1"), written.constData());
        QCOMPARE(QDir(root + "/usr/bin").entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave"});
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
