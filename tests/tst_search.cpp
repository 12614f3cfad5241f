// Search, Stop and Action requests of Orlek over sources a row describes.

#include "service/orlek.h"
#include "testutil.h"

// A source whose entries and prefixes a row chooses; it counts its
// collections and records what it opens.
class FakeSource : public ProjectSource
{
public:
    QString id() const override
    {
        return fields.value(0);
    }
    QString displayName() const override
    {
        return fields.value(1);
    }
    QList<ProjectEntry> collectProjects() const override
    {
        ++collections;
        return entries;
    }
    bool matchPrefix(const QString &keyword, QString *rest) const override
    {
        return fields.value(2).isEmpty() ? ProjectSource::matchPrefix(keyword, rest) : matchKeywordPrefix(keyword, fields.value(2).split(u','), rest);
    }
    bool open(const ProjectEntry &entry) const override
    {
        *log += u" opened by "_s + id() + u' ' + entry.path + u' ' + entry.ideKey;
        return fields.value(3) != u"false"_s;
    }

    // id|displayName|aliases|open result
    QStringList fields;
    QList<ProjectEntry> entries;
    QString *log = nullptr;
    mutable int collections = 0;
};

class tst_Search : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requests_data()
    {
        addRows(u"search.txt"_s, {"home", "sources", "calls", "answers"});
    }

    // Each call gives a line: the collections it made, then its answer and
    // what it opened.
    void requests()
    {
        QFETCH(QString, home);
        QFETCH(QString, sources);
        QFETCH(QString, calls);
        QFETCH(QString, answers);
        FakeHome fakeHome;
        QVERIFY(fakeHome.build(home));
        QString log;
        std::list<FakeSource> fakes;
        Orlek orlek;
        for (const QString &line : sources.split(u'\n', Qt::SkipEmptyParts)) {
            QStringList f = line.mid(line.indexOf(u' ') + 1).split(u'|');
            f.resize(10);
            if (line.startsWith(u"src "_s)) {
                fakes.emplace_back().fields = f;
                fakes.back().log = &log;
                orlek.addSource(&fakes.back());
            } else if (line.startsWith(u"again"_s)) {
                orlek.addSource(&fakes.back());
                orlek.addSource(nullptr);
            } else {
                fakes.back().entries.append({f[9].isEmpty() ? f[0] : f[9], f[1], f[0], f[2], f[3], f[4], f[5], f[6].toLongLong(), f[7], f[8].toInt()});
            }
        }
        QStringList actual;
        for (const QString &call : calls.split(u'\n', Qt::SkipEmptyParts)) {
            const int before = std::accumulate(fakes.begin(), fakes.end(), 0, [](int n, const FakeSource &s) {
                return n + s.collections;
            });
            const QString json = call.contains(u' ') ? fakeHome.expand(call.mid(call.indexOf(u' ') + 1)) : QString();
            log.clear();
            QString answer;
            if (call.section(u' ', 0, 0) == u"search"_s) {
                answer = orlek.search(json);
            } else {
                answer = QVariant(call.startsWith(u"action "_s) ? orlek.action(json) : orlek.stop(json)).toString();
            }
            const int after = std::accumulate(fakes.begin(), fakes.end(), 0, [](int n, const FakeSource &s) {
                return n + s.collections;
            });
            actual << fakeHome.shorten(QString::number(after - before) + u' ' + answer + log);
        }
        compareLines(actual.join(u'\n'), answers);
        // What the default handler was given.
        QFile launched(fakeHome.path() + u"/launched.log"_s);
        QTRY_COMPARE(launched.exists(), home.contains(u"xdg-open"_s));
    }
};

QTEST_GUILESS_MAIN(tst_Search)
#include "tst_search.moc"
