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

namespace {

const QString kSourceDir = QStringLiteral(PURLWAVE_SOURCE_DIR);

// What one #include line brings in.
enum class Origin {
    Ours,            // a file of this project; its folder says which library
    QtCore,          // a Qt Core header
    QtOther,         // any other Qt header: widgets, painting, fonts, windows...
    SystemHeader,    // a C or operating-system header: <unistd.h>, <sys/wait.h>, <windows.h>
    StandardLibrary, // <functional>, <memory>...
    Generated,       // written by the build: moc_x.cpp, x.moc, ui_x.h, qrc_x.cpp
    Unknown,         // a quoted name found nowhere in the source tree
};

struct Included {
    Origin origin = Origin::Unknown;
    QString folder; // for Ours: the top folder of the source tree that holds the file
};

bool isQtCoreHeader(const QString &name)
{
    static const QString core = QLibraryInfo::path(QLibraryInfo::HeadersPath) + QStringLiteral("/QtCore/");
    return QFileInfo::exists(core + name);
}

// name is what stands between the quotes or angle brackets; includer is the including file.
Included classify(const QString &name, bool quoted, const QString &includer)
{
    static const QRegularExpression generated(QStringLiteral(R"(^(moc_|ui_|qrc_).*|.*\.moc$)"));
    if (quoted && generated.match(name).hasMatch())
        return {Origin::Generated, {}};
    if (quoted) {
        // A quoted name is looked for beside the includer first, then from the source root, as the
        // compiler does with the libraries' include folder.
        for (const QString &base : {QFileInfo(includer).absolutePath(), kSourceDir}) {
            const QFileInfo file(QDir(base).filePath(name));
            if (!file.exists())
                continue;
            const QString relative = QDir(kSourceDir).relativeFilePath(file.absoluteFilePath());
            return {Origin::Ours, relative.section(QLatin1Char('/'), 0, 0)};
        }
        return {};
    }
    if (name.startsWith(QLatin1String("QtCore/")))
        return {Origin::QtCore, {}};
    if (name.startsWith(QLatin1String("Qt")) && name.contains(QLatin1Char('/')))
        return {Origin::QtOther, {}};
    if (name.startsWith(QLatin1Char('Q')) && !name.contains(QLatin1Char('.')))
        return {isQtCoreHeader(name) ? Origin::QtCore : Origin::QtOther, {}};
    if (name.endsWith(QLatin1String(".h")) || name.contains(QLatin1Char('/')))
        return {Origin::SystemHeader, {}};
    return {Origin::StandardLibrary, {}};
}

// What a folder's files may include.
struct Rule {
    QStringList ourFolders;
    bool anyQt = false;         // else Qt Core only
    bool systemHeaders = false; // operating-system and C headers
};

// Why the include breaks the rule, or an empty text when it keeps it.
QString offence(const Included &included, const Rule &rule)
{
    switch (included.origin) {
    case Origin::Ours:
        return rule.ourFolders.contains(included.folder)
                   ? QString()
                   : QStringLiteral("%1/ is not among %2").arg(included.folder, rule.ourFolders.join(", "));
    case Origin::QtCore:
    case Origin::StandardLibrary:
    case Origin::Generated:
        return {};
    case Origin::QtOther:
        return rule.anyQt ? QString() : QStringLiteral("not a Qt Core header");
    case Origin::SystemHeader:
        return rule.systemHeaders ? QString()
                                  : QStringLiteral("operating-system headers belong in platform/");
    case Origin::Unknown:
        break;
    }
    return QStringLiteral("no such file in the source tree");
}

const QRegularExpression kIncludeLine(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"));

// Every include of the file that breaks the rule, as "file:line: #include name: why".
QStringList offences(const QString &path, const Rule &rule)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {path + QStringLiteral(": cannot be read")};
    QStringList found;
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        ++lineNumber;
        const QRegularExpressionMatch match = kIncludeLine.match(line);
        if (!match.hasMatch())
            continue;
        const bool quoted = match.captured(1) == QLatin1String("\"");
        const QString why = offence(classify(match.captured(2), quoted, path), rule);
        if (!why.isEmpty())
            found << QStringLiteral("%1:%2: #include %3: %4")
                         .arg(QDir(kSourceDir).relativeFilePath(path))
                         .arg(lineNumber)
                         .arg(match.captured(0).section(QStringLiteral("include"), 1).trimmed(), why);
    }
    return found;
}

} // namespace

Q_DECLARE_METATYPE(Rule)

class TestIncludes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(isQtCoreHeader(QStringLiteral("QString")), "Qt Core's headers are not where Qt says");
    }

    void folderIncludesOnlyWhatItMayDependOn_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<Rule>("rule");
        const Rule batch{.ourFolders = {"batch", "settings", "platform"}};
        const Rule settings{.ourFolders = {"settings", "platform"}};
        const Rule platform{.ourFolders = {"platform"}, .systemHeaders = true};
        const Rule ui{.ourFolders = {"ui", "batch", "settings", "platform"}, .anyQt = true};
        QTest::newRow("batch: itself, settings, platform and Qt Core") << QString("batch") << batch;
        QTest::newRow("settings: itself, platform and Qt Core") << QString("settings") << settings;
        QTest::newRow("platform: itself, Qt Core and the system") << QString("platform") << platform;
        QTest::newRow("ui: any library of ours and any Qt") << QString("ui") << ui;
    }

    void folderIncludesOnlyWhatItMayDependOn()
    {
        QFETCH(QString, folder);
        QFETCH(Rule, rule);
        QStringList found;
        int files = 0;
        QDirIterator it(kSourceDir + '/' + folder, {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found << offences(it.next(), rule);
            ++files;
        }
        QVERIFY2(files > 0, qPrintable(folder + " holds no sources"));
        QVERIFY2(found.isEmpty(), qPrintable("\n" + found.join('\n')));
    }

    // The check itself: lines it must refuse and lines it must let pass, as a file of the batch holds them.
    void checkTellsWrongIncludesFromRightOnes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("why"); // empty: the line keeps the rule
        const QString notCore = "not a Qt Core header";
        QTest::newRow("a widget class is refused") << QString("#include <QWidget>") << notCore;
        QTest::newRow("a module path is refused") << QString("#include <QtWidgets/QApplication>") << notCore;
        QTest::newRow("a window header is refused")
            << QString("#include \"ui/windows/frmmain.h\"") << QString("ui/ is not among batch, settings, platform");
        QTest::newRow("a system header is refused")
            << QString("  #  include <sys/wait.h>")
            << QString("operating-system headers belong in platform/");
        QTest::newRow("a Qt Core class passes") << QString("#include <QStringList>") << QString();
        QTest::newRow("a header beside the includer passes")
            << QString("#include \"mainview.h\"") << QString();
        QTest::newRow("a file the build writes passes") << QString("#include \"batchrun.moc\"") << QString();
        QTest::newRow("a commented-out line is no include") << QString("// #include <QWidget>") << QString();
    }

    void checkTellsWrongIncludesFromRightOnes()
    {
        QFETCH(QString, line);
        QFETCH(QString, why);
        const QRegularExpressionMatch match = kIncludeLine.match(line);
        const QString includer = kSourceDir + QStringLiteral("/batch/batchrun.cpp");
        const Rule batch{.ourFolders = {"batch", "settings", "platform"}};
        const QString found = match.hasMatch() ? offence(
                                  classify(match.captured(2), match.captured(1) == "\"", includer), batch)
                                               : QString();
        QCOMPARE(found, why);
    }
};

QTEST_APPLESS_MAIN(TestIncludes)
#include "tst_includes.moc"
