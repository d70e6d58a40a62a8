// SPDX-License-Identifier: GPL-3.0-or-later
// Which way the libraries depend on each other, read from their #include lines: the batch and the settings
// stay free of window code, the platform layer depends on nothing of ours, and only the platform layer
// includes operating-system headers. Inside ui/ the same holds between its folders, and inside each folder
// no two pieces (a header and its source) depend on each other, directly or round a longer loop.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <functional>

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
        const QString folder = name.section('/', 0, -2);
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

// A loop among the pieces that use each other, as "a -> b -> a"; empty without one.
QString loopAmong(const QMap<QString, QSet<QString>> &uses)
{
    QStringList path; // the pieces being followed, each using the next
    QSet<QString> cleared;
    const std::function<QString(const QString &)> follow = [&](const QString &piece) {
        if (path.contains(piece))
            return (path.mid(path.indexOf(piece)) << piece).join(" -> ");
        if (cleared.contains(piece))
            return QString();
        path << piece;
        for (const QString &used : uses.value(piece))
            if (const QString loop = follow(used); !loop.isEmpty())
                return loop;
        path.removeLast();
        cleared << piece;
        return QString();
    };
    for (auto it = uses.cbegin(); it != uses.cend(); ++it)
        if (const QString loop = follow(it.key()); !loop.isEmpty())
            return loop;
    return {};
}

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
        const QStringList below{"batch", "settings", "platform"};
        QTest::newRow("ui's top files: each other, the libraries below and any Qt")
            << QString("ui") << Rule{.ourFolders = QStringList{"ui"} + below, .anyQt = true};
        QTest::newRow("ui/dialogs: ui's top files and dialogs, not widgets or windows")
            << QString("ui/dialogs")
            << Rule{.ourFolders = QStringList{"ui", "ui/dialogs"} + below, .anyQt = true};
        QTest::newRow("ui/widgets: ui's top files, dialogs and widgets, not windows")
            << QString("ui/widgets")
            << Rule{.ourFolders = QStringList{"ui", "ui/dialogs", "ui/widgets"} + below, .anyQt = true};
        QTest::newRow("ui/windows: all of ui")
            << QString("ui/windows")
            << Rule{.ourFolders = QStringList{"ui", "ui/dialogs", "ui/widgets", "ui/windows"} + below,
                    .anyQt = true};
    }

    // Each offence as "file:line: #include name: why"; a loop as "contrast -> statuslamp -> contrast". The
    // folder's own files only: a folder below it has a row of its own.
    void folderIncludesOnlyWhatItMayDependOn()
    {
        QFETCH(QString, folder);
        QFETCH(Rule, rule);
        QStringList found;
        QMap<QString, QSet<QString>> uses; // piece of the folder -> the folder's pieces it includes
        int files = 0;
        QDirIterator it(kSourceDir + '/' + folder, {"*.h", "*.cpp"}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString piece = QFileInfo(path).completeBaseName();
            uses[piece];
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
                const QFileInfo included(match.captured(2));
                if (match.hasMatch() && included.path() == folder && included.completeBaseName() != piece)
                    uses[piece] << included.completeBaseName();
            }
        }
        QVERIFY2(files > 0, qPrintable(folder + " holds no sources"));
        if (const QString loop = loopAmong(uses); !loop.isEmpty())
            found << folder + ": a loop among its pieces: " + loop;
        QVERIFY2(found.isEmpty(), qPrintable("\n" + found.join('\n')));
    }
};

QTEST_APPLESS_MAIN(TestIncludes)
#include "tst_includes.moc"
