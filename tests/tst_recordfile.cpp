#include "testutil.h"

#include "sources/recordfile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class TestRecordFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void readsContentsAndTime();
    void oversizedFileIsCutAtTheLimit();
    void fileKindTellsWhatIsThere_data();
    void fileKindTellsWhatIsThere();

private:
    QTemporaryDir dir;
};

void TestRecordFile::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(TestUtil::writeFile(dir.filePath(u"regular.json"_s), "{\"a\":1}", 1'700'000'000'123));
    QVERIFY(QFile::link(dir.filePath(u"regular.json"_s), dir.filePath(u"link.json"_s)));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"fifo.json"_s)).constData(), 0600), 0);
    QVERIFY(QFile::link(u"/dev/zero"_s, dir.filePath(u"zero.json"_s)));
    QVERIFY(QDir().mkdir(dir.filePath(u"directory.json"_s)));
    QVERIFY(QFile::link(dir.filePath(u"loop-b.json"_s), dir.filePath(u"loop-a.json"_s)));
    QVERIFY(QFile::link(dir.filePath(u"loop-a.json"_s), dir.filePath(u"loop-b.json"_s)));
    QVERIFY(TestUtil::writeFile(dir.filePath(u"empty.json"_s), QByteArray()));
    QVERIFY(QFile::link(dir.filePath(u"directory.json"_s), dir.filePath(u"dirlink.json"_s)));
    QVERIFY(QFile::link(dir.filePath(u"missing.json"_s), dir.filePath(u"dangling.json"_s)));
}

void TestRecordFile::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("read");
    QTest::newRow("a regular file") << u"regular.json"_s << true;
    QTest::newRow("a link to a regular file") << u"link.json"_s << true;
    QTest::newRow("an empty regular file") << u"empty.json"_s << true;
    QTest::newRow("a FIFO without writer") << u"fifo.json"_s << false;
    QTest::newRow("a link to a device") << u"zero.json"_s << false;
    QTest::newRow("a directory") << u"directory.json"_s << false;
    QTest::newRow("a link loop") << u"loop-a.json"_s << false;
    QTest::newRow("nothing at all") << u"missing.json"_s << false;
    QTest::newRow("a name that a NUL would cut short to a regular file's") << u"regular.json"_s + QChar(u'\0') + u".bak"_s << false;
}

void TestRecordFile::onlyRegularFilesAreRead()
{
    QFETCH(QString, name);
    QFETCH(bool, read);

    QElapsedTimer timer;
    timer.start();
    RecordFile file;
    QCOMPARE(readRecordFile(dir.filePath(name), &file), read);
    QCOMPARE(isRegularFile(dir.filePath(name)), read);
    QVERIFY(timer.elapsed() < 2000);
}

void TestRecordFile::readsContentsAndTime()
{
    RecordFile file;
    QVERIFY(readRecordFile(dir.filePath(u"link.json"_s), &file));
    QCOMPARE(file.contents, QByteArray("{\"a\":1}"));
    QCOMPARE(file.modified, 1'700'000'000'123);
    qint64 modified = 0;
    QVERIFY(isRegularFile(dir.filePath(u"regular.json"_s), &modified));
    QCOMPARE(modified, 1'700'000'000'123);
}

void TestRecordFile::oversizedFileIsCutAtTheLimit()
{
    // Sparse: takes no disk space.
    QFile big(dir.filePath(u"big.xml"_s));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.write("<application>") > 0);
    QVERIFY(big.resize(maxRecordFileSize + 4096));
    big.close();

    RecordFile file;
    QVERIFY(readRecordFile(big.fileName(), &file));
    QCOMPARE(qint64(file.contents.size()), maxRecordFileSize);
    QVERIFY(file.contents.startsWith("<application>"));
}

void TestRecordFile::fileKindTellsWhatIsThere_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<FileKind>("kind");
    QTest::newRow("a regular file") << u"regular.json"_s << FileKind::RegularFile;
    QTest::newRow("a link to a regular file") << u"link.json"_s << FileKind::RegularFile;
    QTest::newRow("a directory") << u"directory.json"_s << FileKind::Directory;
    QTest::newRow("a link to a directory") << u"dirlink.json"_s << FileKind::Directory;
    QTest::newRow("a FIFO") << u"fifo.json"_s << FileKind::Other;
    QTest::newRow("a link to a device") << u"zero.json"_s << FileKind::Other;
    QTest::newRow("a dangling link") << u"dangling.json"_s << FileKind::Missing;
    QTest::newRow("a link loop") << u"loop-a.json"_s << FileKind::Missing;
    QTest::newRow("nothing at all") << u"missing.json"_s << FileKind::Missing;
    QTest::newRow("a regular file with a slash behind") << u"regular.json/"_s << FileKind::Missing;
    QTest::newRow("a directory with a slash behind") << u"directory.json/"_s << FileKind::Directory;
    QTest::newRow("a name that a NUL would cut short to a directory's") << u"directory.json"_s + QChar(u'\0') + u"x"_s << FileKind::Missing;
}

void TestRecordFile::fileKindTellsWhatIsThere()
{
    QFETCH(QString, name);
    QFETCH(FileKind, kind);

    const QString path = dir.filePath(name);
    QCOMPARE(fileKind(path), kind);
    // What it stands in for; QFileInfo refuses a NUL with a warning of its own.
    if (!name.contains(QChar(u'\0'))) {
        const QFileInfo info(path);
        QCOMPARE(info.exists(), kind != FileKind::Missing);
        QCOMPARE(info.isDir(), kind == FileKind::Directory);
        QCOMPARE(info.isFile(), kind == FileKind::RegularFile);
    }
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
