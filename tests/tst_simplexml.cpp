#include "fastreaders.h"

#include "sources/simplexml.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
// A recent-projects file as the IDEs write it, shortened, with the
// constructs that the fast reading takes: entity references, letters beyond
// ASCII, empty-element tags.
const QByteArray ideFile = "<application>\n"
                           "  <component name=\"RecentProjectsManager\">\n"
                           "    <option name=\"additionalInfo\">\n"
                           "      <map>\n"
                           "        <entry key=\"$USER_HOME$/dev/R&amp;D\">\n"
                           "          <value>\n"
                           "            <RecentProjectMetaInfo frameTitle=\"R&amp;D \xe2\x80\x93 Gr\xc3\xbc\xc3\x9f"
                           "e.kt \xf0\x9f\x98\x80\" opened=\"true\">\n"
                           "              <option name=\"metadata\" value=\"{&quot;kind&quot;:&quot;x&apos;&lt;&gt;&quot;}\" />\n"
                           "              <option name=\"projectOpenTimestamp\" value=\"1712000000000\" />\n"
                           "              <frame x=\"0\" y=\"38\" width=\"1920\" height=\"1042\" />\n"
                           "            </RecentProjectMetaInfo>\n"
                           "          </value>\n"
                           "        </entry>\n"
                           "      </map>\n"
                           "    </option>\n"
                           "    <option name=\"lastOpenedProject\" value=\"$USER_HOME$/dev/a b\" />\n"
                           "  </component>\n"
                           "</application>\n";

// Bytes that mutations put in: XML's own punctuation, white space, control
// characters and bytes that begin, continue or break UTF-8 sequences.
const QByteArray mutationBytes("  \t\n\r<>/=\"'&;!?-:x#M\0\x7f\x80\xa0\xc3\xe2\xef\xf0\xff", 29);
} // namespace

class TestSimpleXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void constructs_data();
    void constructs();
    void idesFilesAreTaken_data();
    void idesFilesAreTaken();
    void mutationsAreTakenAlikeOrRefused();
};

void TestSimpleXml::constructs_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("taken");

    QTest::newRow("elements, empty-element tags and white space between them") << QByteArray("\n <a>\n\t<b/><c x=\"1\" />\n</a >\n\n") << true;
    QTest::newRow("the five entity references and a '>' in attribute values")
        << QByteArray("<a x=\"1 &gt; 0\" y=\"&amp;&lt;&gt;&quot;&apos;\" z=\">\"/>") << true;
    QTest::newRow("letters beyond ASCII in attribute values") << QByteArray("<a x=\"Gr\xc3\xbc\xc3\x9f"
                                                                            "e \xe2\x80\x93 \xd0\xbf \xf0\x9f\x98\x80\"/>")
                                                              << true;
    QTest::newRow("white space around '=' and between attributes") << QByteArray("<a x = \"1\"\n\ty=\"2\"\n/>") << true;
    QTest::newRow("names with digits, dots, hyphens and underscores") << QByteArray("<_a-1.b c_2.d-e=\"\"></_a-1.b>") << true;
    QTest::newRow("an empty attribute value") << QByteArray("<a x=\"\"/>") << true;

    QTest::newRow("an XML declaration") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>") << false;
    QTest::newRow("a byte order mark") << QByteArray("\xef\xbb\xbf<a/>") << false;
    QTest::newRow("a comment") << QByteArray("<a><!-- x --></a>") << false;
    QTest::newRow("a processing instruction") << QByteArray("<a><?x y?></a>") << false;
    QTest::newRow("a CDATA section") << QByteArray("<a><![CDATA[x]]></a>") << false;
    QTest::newRow("a document type") << QByteArray("<!DOCTYPE a>\n<a/>") << false;
    QTest::newRow("text") << QByteArray("<a>x</a>") << false;
    QTest::newRow("a character reference") << QByteArray("<a x=\"&#10;\"/>") << false;
    QTest::newRow("an undeclared entity") << QByteArray("<a x=\"&nbsp;\"/>") << false;
    QTest::newRow("a bare ampersand") << QByteArray("<a x=\"R&D\"/>") << false;
    QTest::newRow("single quotes") << QByteArray("<a x='1'/>") << false;
    QTest::newRow("a tab in an attribute value") << QByteArray("<a x=\"1\t2\"/>") << false;
    QTest::newRow("a line feed in an attribute value") << QByteArray("<a x=\"1\n2\"/>") << false;
    QTest::newRow("a carriage return") << QByteArray("<a>\r\n</a>") << false;
    QTest::newRow("a '<' in an attribute value") << QByteArray("<a x=\"<\"/>") << false;
    QTest::newRow("a namespace declaration") << QByteArray("<a xmlns=\"urn:x\"/>") << false;
    QTest::newRow("a prefixed name") << QByteArray("<p:a/>") << false;
    QTest::newRow("a name beginning with xml") << QByteArray("<XmlA/>") << false;
    QTest::newRow("a name beginning with a digit") << QByteArray("<1a/>") << false;
    QTest::newRow("a name beyond ASCII") << QByteArray("<\xc3\xa9/>") << false;
    QTest::newRow("a repeated attribute") << QByteArray("<a x=\"1\" x=\"2\"/>") << false;
    QTest::newRow("attributes without white space between them") << QByteArray("<a x=\"1\"y=\"2\"/>") << false;
    QTest::newRow("an attribute without a value") << QByteArray("<a x/>") << false;
    QTest::newRow("a mismatched end tag") << QByteArray("<a><b></a></b>") << false;
    QTest::newRow("an end tag without a start") << QByteArray("</a>") << false;
    QTest::newRow("a document cut short") << QByteArray("<a><b/>") << false;
    QTest::newRow("a tag cut short") << QByteArray("<a x=\"1\"") << false;
    QTest::newRow("two root elements") << QByteArray("<a/><b/>") << false;
    QTest::newRow("text after the root element") << QByteArray("<a/>x") << false;
    QTest::newRow("an empty document") << QByteArray() << false;
    QTest::newRow("white space only") << QByteArray(" \n") << false;
    QTest::newRow("a UTF-8 sequence cut short") << QByteArray("<a x=\"\xc3\"/>") << false;
    QTest::newRow("an overlong UTF-8 sequence") << QByteArray("<a x=\"\xc0\xa9\"/>") << false;
    QTest::newRow("an encoded surrogate") << QByteArray("<a x=\"\xed\xa0\x80\"/>") << false;
    QTest::newRow("the noncharacter U+FFFE") << QByteArray("<a x=\"\xef\xbf\xbe\"/>") << false;
    QTest::newRow("a C1 control character") << QByteArray("<a x=\"\xc2\x85\"/>") << false;
    QTest::newRow("a NUL") << QByteArray("<a x=\"\0\"/>", 11) << false;
}

void TestSimpleXml::constructs()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, taken);

    SimpleXml simple;
    QCOMPARE(simple.scan(xml), taken);
    if (taken) {
        QVERIFY(FastReaders::simpleXmlReadsAlike(xml));
    }
}

void TestSimpleXml::idesFilesAreTaken_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<bool>("taken");
    QTest::newRow("the current layout") << u"recentProjects.xml"_s << true;
    QTest::newRow("the older layout") << u"recentProjects-2019.xml"_s << true;
    QTest::newRow("Rider's projects") << u"recentProjects-rider.xml"_s << true;
    QTest::newRow("Rider's solutions") << u"recentSolutions.xml"_s << true;
    QTest::newRow("Android Studio's projects") << u"recentProjects-studio.xml"_s << true;
    QTest::newRow("a file cut short") << u"recentProjects-truncated.xml"_s << false;
}

void TestSimpleXml::idesFilesAreTaken()
{
    QFETCH(QString, fixtureName);
    QFETCH(bool, taken);

    QFile file(QFINDTESTDATA(u"data/jetbrains/"_s + fixtureName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    SimpleXml simple;
    QCOMPARE(simple.scan(xml), taken);
    if (taken) {
        QVERIFY(FastReaders::simpleXmlReadsAlike(xml));
        QVERIFY(simple.elements().size() > 10);
    }
}

// Every document that a few edits make of an IDE's file is either refused
// or read exactly as QXmlStreamReader reads it.
void TestSimpleXml::mutationsAreTakenAlikeOrRefused()
{
    QVERIFY(FastReaders::simpleXmlReadsAlike(ideFile));
    int taken = 0;
    int tried = 0;
    const auto attempt = [&](const QByteArray &xml) {
        ++tried;
        SimpleXml simple;
        if (simple.scan(xml)) {
            ++taken;
            return FastReaders::simpleXmlReadsAlike(xml);
        }
        return true;
    };

    for (qsizetype at = 0; at <= ideFile.size(); ++at) {
        QVERIFY(attempt(ideFile.left(at)));
        if (at < ideFile.size()) {
            QVERIFY(attempt(QByteArray(ideFile).remove(at, 1)));
        }
        for (const char byte : mutationBytes) {
            QVERIFY(attempt(QByteArray(ideFile).insert(at, byte)));
            if (at < ideFile.size()) {
                QByteArray replaced = ideFile;
                replaced[at] = byte;
                QVERIFY(attempt(replaced));
            }
        }
    }

    QRandomGenerator random(20240601);
    for (int i = 0; i < 20000; ++i) {
        QByteArray xml = ideFile;
        for (int edits = 1 + random.bounded(4); edits > 0; --edits) {
            const qsizetype at = random.bounded(int(xml.size()));
            const char byte = random.bounded(3) == 0 ? char(random.bounded(256)) : mutationBytes.at(random.bounded(int(mutationBytes.size())));
            switch (random.bounded(3)) {
            case 0:
                xml[at] = byte;
                break;
            case 1:
                xml.insert(at, byte);
                break;
            default:
                xml.remove(at, 1 + random.bounded(8));
            }
        }
        QVERIFY(attempt(xml));
    }
    // Both ways were taken many times.
    QVERIFY2(taken > tried / 20 && taken < tried / 2, qPrintable(u"%1 of %2 taken"_s.arg(taken).arg(tried)));
}

QTEST_GUILESS_MAIN(TestSimpleXml)
#include "tst_simplexml.moc"
