#include "testutil.h"

#include "sources/recordfile.h"

#include <QDirIterator>
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
    void fileOfUnknownSizeIsReadToItsEnd();
    void contentsUpToTheLimit_data();
    void contentsUpToTheLimit();
    void fileKindTellsWhatIsThere_data();
    void fileKindTellsWhatIsThere();
    void subdirectoriesAsQDirIteratorListsThem_data();
    void subdirectoriesAsQDirIteratorListsThem();

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
    const QDir folder(dir.filePath(u"directory.json"_s));
    QVERIFY(folder.mkpath(u"sub"_s));
    QVERIFY(folder.mkpath(u".hidden"_s));
    QVERIFY(folder.mkpath(u"Grüße проект"_s));
    QVERIFY(TestUtil::writeFile(folder.filePath(u"file"_s), "x"));
    QVERIFY(QFile::link(folder.filePath(u"sub"_s), folder.filePath(u"sublink"_s)));
    QVERIFY(QFile::link(folder.filePath(u"file"_s), folder.filePath(u"filelink"_s)));
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

void TestRecordFile::fileOfUnknownSizeIsReadToItsEnd()
{
    // stat gives 0 for the files of /proc, whatever they hold.
    const QString path = u"/proc/self/environ"_s;
    qint64 size = -1;
    QVERIFY(isRegularFile(path, nullptr, &size));
    QCOMPARE(size, 0);
    QFile reference(path);
    QVERIFY(reference.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const QByteArray expected = reference.readAll();
    QVERIFY(!expected.isEmpty());

    RecordFile file;
    QVERIFY(readRecordFile(path, &file));
    QCOMPARE(file.contents, expected);
}

void TestRecordFile::contentsUpToTheLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("one byte") << 1 << maxRecordFileSize;
    QTest::newRow("a byte less than a page") << 4095 << maxRecordFileSize;
    QTest::newRow("a page") << 4096 << maxRecordFileSize;
    QTest::newRow("a byte more than a page") << 4097 << maxRecordFileSize;
    QTest::newRow("a large file") << 300000 << maxRecordFileSize;
    QTest::newRow("a file shorter than the limit") << 19 << qint64(20);
    QTest::newRow("a file as long as the limit") << 20 << qint64(20);
    QTest::newRow("a file longer than the limit") << 25 << qint64(20);
}

void TestRecordFile::contentsUpToTheLimit()
{
    QFETCH(int, size);
    QFETCH(qint64, limit);

    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = char('a' + i % 26);
    }
    const QString path = dir.filePath(u"sized.json"_s);
    QVERIFY(TestUtil::writeFile(path, bytes));
    RecordFile file;
    QVERIFY(readRecordFile(path, &file, limit));
    QCOMPARE(file.contents, bytes.left(qsizetype(limit)));
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

void TestRecordFile::subdirectoriesAsQDirIteratorListsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    // The fixture folder holds a directory, files, a FIFO and links of every
    // kind; the folder made below holds a hidden directory among others.
    QTest::newRow("a folder of every kind of entry") << u"."_s << 2;
    QTest::newRow("the same with a slash behind") << u"./"_s << 2;
    QTest::newRow("a link to a folder") << u"dirlink.json"_s << 3;
    QTest::newRow("a regular file") << u"regular.json"_s << 0;
    QTest::newRow("nothing at all") << u"missing.json"_s << 0;
}

void TestRecordFile::subdirectoriesAsQDirIteratorListsThem()
{
    QFETCH(QString, name);
    QFETCH(int, count);

    const QString path = name == u"."_s || name == u"./"_s ? dir.path() + name.mid(1) : dir.filePath(name);
    // QDirIterator also lists links to devices, FIFOs and sockets under
    // QDir::Dirs; no directory is below them, so they are left out.
    QStringList expected;
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().isDir()) {
            expected.append(it.filePath());
        }
    }
    const QStringList listed = subdirectories(path);
    QCOMPARE(listed, expected);
    QCOMPARE(listed.size(), count);
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
