#include "fastreaders.h"

#include "sources/plainjson.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
// workspace.json as the editors write it: two-space indent, no final newline.
const QByteArray workspaceJson = "{\n  \"folder\": \"file:///home/me/my%20project\",\n  \"workspace\": \"\"\n}";

// Bytes that mutations put in: JSON's own punctuation and letters, white
// space, control characters and bytes beyond ASCII.
const QByteArray mutationBytes(" \t\n\r{}[]:,\"\\/0-.eEtrufnl\0\x7f\x80\xc3\xff", 28);
} // namespace

class TestPlainJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void constructs_data();
    void constructs();
    void mutationsAreTakenAlikeOrRefused();
};

void TestPlainJson::constructs_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("taken");

    QTest::newRow("a workspace.json as the editors write it") << workspaceJson << true;
    QTest::newRow("an empty object") << QByteArray(" {\r\n} ") << true;
    QTest::newRow("several members on one line") << QByteArray("{\"a\":\"1\",\"b\":\"\",\"c\":\"x y/z\"}") << true;
    QTest::newRow("signs in strings") << QByteArray("{\"a\": \"{}[]:,/'#%~\"}") << true;

    QTest::newRow("an escape") << QByteArray("{\"a\": \"x\\/y\"}") << false;
    QTest::newRow("a letter beyond ASCII") << QByteArray("{\"a\": \"\xc3\xa9\"}") << false;
    QTest::newRow("a control character in a string") << QByteArray("{\"a\": \"\t\"}") << false;
    QTest::newRow("a number") << QByteArray("{\"a\": 1}") << false;
    QTest::newRow("a nested object") << QByteArray("{\"a\": {}}") << false;
    QTest::newRow("null") << QByteArray("{\"a\": null}") << false;
    QTest::newRow("a repeated name") << QByteArray("{\"a\": \"1\", \"a\": \"2\"}") << false;
    QTest::newRow("a comma behind the last member") << QByteArray("{\"a\": \"1\",}") << false;
    QTest::newRow("a missing comma") << QByteArray("{\"a\": \"1\" \"b\": \"2\"}") << false;
    QTest::newRow("an array") << QByteArray("[\"a\"]") << false;
    QTest::newRow("a byte order mark") << QByteArray("\xef\xbb\xbf{}") << false;
    QTest::newRow("text behind the object") << QByteArray("{} x") << false;
    QTest::newRow("a NUL behind the object") << QByteArray("{}\0", 3) << false;
    QTest::newRow("an object cut short") << QByteArray("{\"a\": \"1\"") << false;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TestPlainJson::constructs()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, taken);

    PlainJsonMembers members;
    QCOMPARE(readPlainJsonObject(json, &members), taken);
    if (taken) {
        QVERIFY(FastReaders::plainJsonReadsAlike(json));
    }
}

// Every text that a few edits make of a workspace.json is either refused or
// read exactly as QJsonDocument reads it.
void TestPlainJson::mutationsAreTakenAlikeOrRefused()
{
    int taken = 0;
    int tried = 0;
    const auto attempt = [&](const QByteArray &json) {
        ++tried;
        PlainJsonMembers members;
        if (readPlainJsonObject(json, &members)) {
            ++taken;
            return FastReaders::plainJsonReadsAlike(json);
        }
        return true;
    };

    for (qsizetype at = 0; at <= workspaceJson.size(); ++at) {
        QVERIFY(attempt(workspaceJson.left(at)));
        if (at < workspaceJson.size()) {
            QVERIFY(attempt(QByteArray(workspaceJson).remove(at, 1)));
        }
        for (const char byte : mutationBytes) {
            QVERIFY(attempt(QByteArray(workspaceJson).insert(at, byte)));
            if (at < workspaceJson.size()) {
                QByteArray replaced = workspaceJson;
                replaced[at] = byte;
                QVERIFY(attempt(replaced));
            }
        }
    }

    QRandomGenerator random(20240601);
    for (int i = 0; i < 20000; ++i) {
        QByteArray json = workspaceJson;
        for (int edits = 1 + random.bounded(4); edits > 0; --edits) {
            const qsizetype at = random.bounded(int(json.size()));
            const char byte = random.bounded(3) == 0 ? char(random.bounded(256)) : mutationBytes.at(random.bounded(int(mutationBytes.size())));
            switch (random.bounded(3)) {
            case 0:
                json[at] = byte;
                break;
            case 1:
                json.insert(at, byte);
                break;
            default:
                json.remove(at, 1 + random.bounded(8));
            }
        }
        QVERIFY(attempt(json));
    }
    // Both ways were taken many times.
    QVERIFY2(taken > tried / 20 && taken < tried / 2, qPrintable(u"%1 of %2 taken"_s.arg(taken).arg(tried)));
}

QTEST_GUILESS_MAIN(TestPlainJson)
#include "tst_plainjson.moc"
