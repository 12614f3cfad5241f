// An editor at work on a VS Code state database, for tests that need one in
// a process of its own: SQLite's locks belong to processes, and a test that
// reads the editor's files itself would drop the locks of an editor living in
// its own process. Usage: fakeeditor [--rollback] <database>. The database is
// opened in WAL mode and never checkpointed, so what is written stays in its
// "-wal"; with --rollback it keeps its rollback journal. Commands on standard
// input, one a line, each answered with "ok" (or "failed") on standard output:
//   list <json>   stores <json> as the recent list
//   lock          begins an exclusive transaction, as while committing
//   unlock        ends it
//   quit          closes the database as an editor does on exit
// At the end of the input the program exits without closing anything, as an
// editor that crashed; "ready" is written once the database is open.

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool rollback = argc == 3 && qstrcmp(argv[1], "--rollback") == 0;
    if (argc != (rollback ? 3 : 2)) {
        return 2;
    }
    QTextStream out(stdout);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s);
        db.setDatabaseName(QFile::decodeName(argv[argc - 1]));
        if (!db.open()) {
            return 1;
        }
        QSqlQuery query(db);
        if ((!rollback && (!query.exec(u"PRAGMA journal_mode = WAL"_s) || !query.exec(u"PRAGMA wal_autocheckpoint = 0"_s)))
            || !query.exec(u"PRAGMA synchronous = OFF"_s)
            || !query.exec(u"CREATE TABLE IF NOT EXISTS ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"_s)) {
            return 1;
        }
        out << "ready" << Qt::endl;

        QTextStream in(stdin);
        QString line;
        bool quit = false;
        while (!quit && in.readLineInto(&line)) {
            quit = line == u"quit"_s;
            if (quit) {
                break;
            }
            bool ok = false;
            if (line.startsWith(u"list "_s)) {
                ok = query.prepare(u"INSERT INTO ItemTable (key, value) VALUES (?, ?)"_s);
                query.addBindValue(u"history.recentlyOpenedPathsList"_s);
                query.addBindValue(line.mid(5));
                ok = ok && query.exec();
            } else if (line == u"lock"_s) {
                ok = query.exec(u"BEGIN EXCLUSIVE"_s);
            } else if (line == u"unlock"_s) {
                ok = query.exec(u"COMMIT"_s);
            }
            out << (ok ? "ok" : "failed") << Qt::endl;
        }
        if (!quit) {
            std::fflush(stdout);
            ::_exit(0);
        }
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    out << "ok" << Qt::endl;
    return 0;
}
