// SPDX-License-Identifier: GPL-3.0-or-later
// Files given to the program: its arguments become rows on the real window, as a drop of those files would
// add them, with real files in a temporary program folder.
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "testsupport.h"

#include <QByteArrayList>

using namespace testsupport;
using namespace Qt::StringLiterals;

class TestArguments : public QObject, ProgramFixture {
    Q_OBJECT

    QString m_startFolder;

private slots:
    void initTestCase() { m_startFolder = QDir::currentPath(); }
    void cleanup()
    {
        QVERIFY(end());
        QVERIFY(QDir::setCurrent(m_startFolder));
    }

    // "<dir>" stands for the program folder, which is also the current folder.
    void argumentsBecomeRowsAsADropOfThemWould_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArrayList>("madeFiles"); // real files made first, by raw name
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("told");

        const QString no;
        QTest::newRow("none: an empty list and no box")
            << QByteArrayList{} << QByteArrayList{} << QStringList{} << no;
        QTest::newRow("absolute and relative paths in order, the same file twice, relative made absolute")
            << QByteArrayList{"<dir>/b.wav", "a.wav", "./sub/../b.wav", "Album/"} << QByteArrayList{}
            << QStringList{"<dir>/b.wav", "<dir>/a.wav", "<dir>/b.wav", "<dir>/Album/"} << no;
        QTest::newRow("a file URL taken as its path")
            << QByteArrayList{"file://<dir>/My%20Song%2050%25.wav", "file:///srv/caf%C3%A9.wav"}
            << QByteArrayList{} << QStringList{"<dir>/My Song 50%.wav", u"/srv/café.wav"_s} << no;
        QTest::newRow("a name that is not UTF-8, as a path or a URL, is left out and named")
            << QByteArrayList{"<dir>/caf\xe9.wav", "a.wav", "file://<dir>/x%FF.wav"}
            << QByteArrayList{"caf\xe9.wav", "x\xff.wav"} << QStringList{"<dir>/a.wav"}
            << u"2 of the given files were not added: their names are not valid UTF-8 text, so the encoder "
               u"could not be handed them unchanged.\n\n<dir>/caf\\xE9.wav\n<dir>/x\\xFF.wav\n\n"
               u"Rename the files to UTF-8 names and add them again."_s;
    }

    void argumentsBecomeRowsAsADropOfThemWould()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArrayList, madeFiles);
        QFETCH(QStringList, rows);
        QFETCH(QString, told);

        RecordedMessageBoxes boxes;
        QVERIFY(makeFolder() && QDir::setCurrent(m_dir->path()));
        for (QByteArray &argument : arguments)
            argument.replace("<dir>", QFile::encodeName(m_dir->path()));
        for (const QByteArray &name : std::as_const(madeFiles))
            QVERIFY(!rawFileUrl(name).isEmpty());
        QVERIFY(launch(standinEncoder(), arguments));

        QCoreApplication::processEvents();
        QCOMPARE(this->rows(), rows.replaceInStrings(u"<dir>"_s, m_dir->path()));
        QCOMPARE(boxes.boxes.size(), told.isEmpty() ? 0 : 1);
        QCOMPARE(boxes.boxes.value(0).text, told.replace(u"<dir>"_s, m_dir->path()));
    }
};

QTEST_MAIN(TestArguments)
#include "tst_arguments.moc"
