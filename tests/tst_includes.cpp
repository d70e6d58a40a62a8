// SPDX-License-Identifier: GPL-3.0-or-later
// Which way the libraries depend on each other, read from their #include lines: the batch and the settings
// stay free of window code, the platform layer depends on nothing of ours, and only the platform layer
// includes operating-system headers.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

const QString kSourceDir = QStringLiteral(PURLWAVE_SOURCE_DIR);

// What a folder's files may include besides Qt Core, the standard library and what the build writes.
struct Rule {
    QStringList ourFolders;
    bool anyQt = false;         // else Qt Core only
    bool systemHeaders = false; // operating-system and C headers
    QString qtModule{};         // one Qt module besides Core
    QStringList libraries{};    // headers of the libraries it links besides Qt; "dir/" for all in dir
};

bool isQtHeader(const QString &module, const QString &name)
{
    return !module.isEmpty()
           && (name.startsWith(module + '/')
               || QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::HeadersPath) + '/' + module + '/'
                                    + name));
}

// Why including name (between quotes or angle brackets) breaks the rule; empty when it keeps it. Our
// headers are named from the source root; a bare name is one beside the includer or one the build writes.
QString offence(const QString &name, bool quoted, const Rule &rule)
{
    if (quoted) {
        const QString folder = name.section('/', 0, 0);
        return !name.contains('/') || rule.ourFolders.contains(folder)
                   ? QString()
                   : QStringLiteral("%1/ is not among %2").arg(folder, rule.ourFolders.join(", "));
    }
    if (name.startsWith('Q') && (name.contains('/') || !name.contains('.')))
        return rule.anyQt || isQtHeader("QtCore", name) || isQtHeader(rule.qtModule, name)
                   ? QString()
                   : QStringLiteral("not a Qt Core header");
    const bool library = std::any_of(
        rule.libraries.begin(), rule.libraries.end(), [&](const QString &header) {
            return name == header || (header.endsWith('/') && name.startsWith(header));
        });
    if (!rule.systemHeaders && !library && (name.endsWith(QLatin1String(".h")) || name.contains('/')))
        return QStringLiteral("operating-system headers belong in platform/");
    return {};
}

const QRegularExpression kIncludeLine(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"));

} // namespace

Q_DECLARE_METATYPE(Rule)

class TestIncludes : public QObject {
    Q_OBJECT

private slots:
    void folderIncludesOnlyWhatItMayDependOn_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<Rule>("rule");
        QTest::newRow("batch: itself, settings, platform, Qt Core, libsndfile and TagLib")
            << QString("batch")
            << Rule{.ourFolders = {"batch", "settings", "platform"}, .libraries = {"sndfile.h", "taglib/"}};
        QTest::newRow("settings: itself, platform and Qt Core")
            << QString("settings") << Rule{.ourFolders = {"settings", "platform"}};
        QTest::newRow("platform: itself, Qt Core, Qt D-Bus and the system")
            << QString("platform")
            << Rule{.ourFolders = {"platform"}, .systemHeaders = true, .qtModule = "QtDBus"};
        QTest::newRow("ui: any library of ours and any Qt")
            << QString("ui") << Rule{.ourFolders = {"ui", "batch", "settings", "platform"}, .anyQt = true};
    }

    // Each offence as "file:line: #include name: why".
    void folderIncludesOnlyWhatItMayDependOn()
    {
        QFETCH(QString, folder);
        QFETCH(Rule, rule);
        QStringList found;
        int files = 0;
        QDirIterator it(kSourceDir + '/' + folder, {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path + ": cannot be read"));
            ++files;
            for (int lineNumber = 1; !file.atEnd(); ++lineNumber) {
                const QRegularExpressionMatch match = kIncludeLine.match(QString::fromUtf8(file.readLine()));
                const QString why = match.hasMatch()
                                        ? offence(match.captured(2), match.captured(1) == "\"", rule)
                                        : QString();
                if (!why.isEmpty())
                    found << QStringLiteral("%1:%2: #include %3: %4")
                                 .arg(QDir(kSourceDir).relativeFilePath(path))
                                 .arg(lineNumber)
                                 .arg(match.captured(2), why);
            }
        }
        QVERIFY2(files > 0, qPrintable(folder + " holds no sources"));
        QVERIFY2(found.isEmpty(), qPrintable("\n" + found.join('\n')));
    }
};

QTEST_APPLESS_MAIN(TestIncludes)
#include "tst_includes.moc"
