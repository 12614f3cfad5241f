#pragma once

// A throw-away home built from a compact description, and test rows read
// from case files under tests/data/.

#include "sources/projectsource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

inline bool setMtime(const QString &path, qint64 ms)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {ms / 1000, (ms % 1000) * 1000000}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// The text with each `<n>*<unit>` replaced by n units, "#" in a unit by its
// number from 0, padded with zeros to the width of n - 1.
inline QString repeated(QString text)
{
    static const QRegularExpression run(u"`(\\d+)\\*([^`]*)`"_s);
    for (QRegularExpressionMatch m; (m = run.match(text)).hasMatch();) {
        const QString unit = m.captured(2);
        const int n = m.captured(1).toInt();
        QString out = unit.contains(u'#') ? QString() : unit.repeated(n);
        for (int i = 0; unit.contains(u'#') && i < n; ++i) {
            out += QString(unit).replace(u'#', u"%1"_s.arg(i, int(QString::number(n - 1).size()), 10, QLatin1Char('0')));
        }
        text.replace(m.capturedStart(), m.capturedLength(), out);
    }
    return text;
}

// The text with each line "<a>..<b>* <line>" replaced by one line for every
// number from a to b, counting up or down, "#" in it by the number padded
// with zeros to the width of the larger bound.
inline QString expandLines(const QString &text)
{
    static const QRegularExpression range(u"^(\\d+)\\.\\.(\\d+)\\* (.*)$"_s);
    QStringList out;
    for (const QString &line : text.split(u'\n')) {
        const QRegularExpressionMatch m = range.match(line);
        if (!m.hasMatch()) {
            out << line;
            continue;
        }
        const int a = m.captured(1).toInt(), b = m.captured(2).toInt(), width = int(qMax(m.captured(1).size(), m.captured(2).size()));
        for (int i = a;; i += a < b ? 1 : -1) {
            out << m.captured(3).replace(u'#', u"%1"_s.arg(i, width, 10, QLatin1Char('0')));
            if (i == b) {
                break;
            }
        }
    }
    return out.join(u'\n');
}

// A database made by statements with ";" between them, as Zed makes its
// own; journal is "WAL" or "DELETE", value what a "?" stands for.
inline bool writeSqlDb(const QString &path, const QString &statements, const QString &journal = u"WAL"_s, const QString &value = QString())
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, path);
        db.setDatabaseName(path);
        QSqlQuery q(db);
        ok = db.open() && q.exec(u"PRAGMA journal_mode = "_s + journal);
        for (const QString &statement : statements.split(QRegularExpression(u";\\s*"_s), Qt::SkipEmptyParts)) {
            ok = ok && q.prepare(statement);
            if (statement.contains(u'?')) {
                q.addBindValue(value);
            }
            ok = ok && q.exec();
        }
    }
    QSqlDatabase::removeDatabase(path);
    return ok;
}

// A state database as the editors make it, holding list unless it is empty.
inline bool writeStateDb(const QString &path, const QString &list, const QString &journal = u"DELETE"_s)
{
    const QString insert = list.isEmpty() ? QString() : u"; INSERT INTO ItemTable VALUES ('history.recentlyOpenedPathsList', ?)"_s;
    return writeSqlDb(path, u"PRAGMA user_version = 1; CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB)"_s + insert, journal, list);
}

// What an editor that crashed leaves: the older list in the main file, the
// newer one only in the -wal, and nobody holding the -shm.
inline bool writeCrashedStateDb(const QString &path, const QString &older, const QString &newer)
{
    const QString live = path + u"~"_s;
    bool ok = writeStateDb(live, older);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, live);
        db.setDatabaseName(live);
        QSqlQuery q(db);
        ok = ok && db.open() && q.exec(u"PRAGMA journal_mode = WAL"_s) && q.exec(u"PRAGMA wal_autocheckpoint = 0"_s)
            && q.prepare(u"UPDATE ItemTable SET value = ?"_s);
        q.addBindValue(newer);
        ok = ok && q.exec();
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s}) {
            ok = ok && QFile::copy(live + suffix, path + suffix);
        }
    }
    QSqlDatabase::removeDatabase(live);
    return ok;
}

// While it lives, HOME, the XDG data folders and PATH point into it, and
// XDG_CONFIG_HOME is unset unless a row sets it.
class FakeHome
{
public:
    FakeHome()
    {
        const QByteArray home = QFile::encodeName(path());
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_DATA_DIRS", home + "/usr/share");
        qunsetenv("XDG_CONFIG_HOME");
        // Only the programs a row puts there, whatever the machine has.
        qputenv("PATH", home + "/bin");
    }

    QString path() const
    {
        return dir.path();
    }

    QString expand(QString text) const
    {
        return text.replace(u"$HOME"_s, path());
    }

    QString shorten(QString text) const
    {
        return text.replace(path(), u"$HOME"_s);
    }

    // One item a line: "<kind> <path>[ @<mtime ms>][ = <text>]", paths under
    // the home unless absolute. Kinds: d (folder; "d a/{b,c}" for several),
    // f (file; text with \n and `<n>*<unit>` repeats, or "<name>" for a file
    // under tests/data/), db and wal (state database holding the text as its
    // recent list), crashed (one an editor left with "<older list> =>
    // <newer list>"), sql (statements run on a database, see writeSqlDb),
    // ln (link to the text), fifo, x (program that appends "<name> <arg>..."
    // to ~/launched.log), bad (program that cannot start) and env
    // ("env <NAME> = <value>", for the row). "$ID(<path>)" is the name of the
    // workspace-storage folder of what an earlier line made at path: the MD5
    // of the path, then a folder's inode number. "$BIN(<item>,...)" is a
    // blob literal of the list as Zed's 2024 databases hold one (bincode):
    // a little-endian u64 count, then each number as a u64, each text as its
    // length in one and its UTF-8 bytes.
    bool build(const QString &description) const
    {
        static const QRegularExpression storageId(u"\\$ID\\(([^)]*)\\)"_s);
        static const QRegularExpression bincode(u"\\$BIN\\(([^)]*)\\)"_s);
        static const QRegularExpression item(u"^(\\w+) (.+?)(?: @(\\d+))?(?: =(?: (.*))?)?$"_s);
        // "d a/{b,c}" makes a/b and a/c.
        static const QRegularExpression braces(u"^(d .*)\\{([^}]*)\\}(.*)$"_s);
        QStringList lines;
        for (const QString &line : description.split(u'\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch b = braces.match(line);
            for (const QString &part : b.hasMatch() ? b.captured(2).split(u',') : QStringList{QString()}) {
                lines << (b.hasMatch() ? b.captured(1) + part + b.captured(3) : line);
            }
        }
        for (QString line : std::as_const(lines)) {
            for (QRegularExpressionMatch id; (id = storageId.match(line)).hasMatch();) {
                QByteArray key = expand(QDir(path()).filePath(id.captured(1))).toUtf8();
                struct stat st;
                if (::stat(key.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    key += QByteArray::number(st.st_ino);
                }
                line.replace(id.capturedStart(), id.capturedLength(), QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Md5).toHex()));
            }
            for (QRegularExpressionMatch b; (b = bincode.match(line)).hasMatch();) {
                const QStringList items = expand(b.captured(1)).split(u',');
                QByteArray bytes;
                for (const QString &item : QStringList{QString::number(items.size())} + items) {
                    bool number = false;
                    const QByteArray text = item.toUtf8();
                    const quint64 n = qToLittleEndian(item.toULongLong(&number) + (number ? 0 : quint64(text.size())));
                    bytes += QByteArray(reinterpret_cast<const char *>(&n), 8) + (number ? QByteArray() : text);
                }
                line.replace(b.capturedStart(), b.capturedLength(), u"X'"_s + QString::fromLatin1(bytes.toHex()) + u'\'');
            }
            const QRegularExpressionMatch m = item.match(expand(line));
            const QString kind = m.captured(1), file = QDir(path()).filePath(m.captured(2));
            QString text = m.captured(4);
            if (kind == u"env"_s) {
                qputenv(m.captured(2).toUtf8().constData(), text.toUtf8());
                continue;
            }
            if (!m.hasMatch() || !QDir().mkpath(kind == u"d"_s ? file : QFileInfo(file).path())) {
                return false;
            }
            if (kind == u"x"_s) {
                text = u"#!/bin/sh\nl=${0##*/}; for a; do l=\"$l <$a>\"; done; echo \"$l\" >> \"$HOME/launched.log\"\n"_s;
            } else if (kind == u"bad"_s) {
                text = u"#!/nonexistent/interpreter\n"_s;
            } else if (text.startsWith(u'<') && !text.contains(u'>')) {
                QFile data(QFINDTESTDATA(u"data/"_s + text.mid(1)));
                if (!data.open(QIODevice::ReadOnly)) {
                    return false;
                }
                text = expand(QString::fromUtf8(data.readAll()));
            } else {
                text = repeated(text.replace(u"\\n"_s, u"\n"_s));
            }
            bool ok = true;
            if (kind == u"crashed"_s) {
                ok = writeCrashedStateDb(file, text.section(u" => "_s, 0, 0), text.section(u" => "_s, 1));
            } else if (kind == u"sql"_s) {
                ok = writeSqlDb(file, text);
            } else if (kind == u"db"_s || kind == u"wal"_s) {
                ok = writeStateDb(file, text, kind == u"wal"_s ? u"WAL"_s : u"DELETE"_s);
            } else if (kind == u"ln"_s) {
                ok = QFile::link(text, file);
            } else if (kind == u"fifo"_s) {
                ok = ::mkfifo(QFile::encodeName(file).constData(), 0644) == 0;
            } else if (kind != u"d"_s) {
                QFile out(file);
                ok = out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) >= 0;
                out.close();
                ok = ok && (kind == u"f"_s || out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            }
            if (!ok || (!m.captured(3).isEmpty() && !setMtime(file, m.captured(3).toLongLong()))) {
                return false;
            }
        }
        return true;
    }

private:
    QTemporaryDir dir;
};

// Rows from a case file: "== <row name>", then its columns one after the
// other, each ending at a line "--" (the last at the next case). Lines
// starting with "#" are comments; "<a>..<b>* <line>" lines are expanded.
inline void addRows(const QString &file, const QList<const char *> &columns)
{
    for (const char *column : columns) {
        QTest::addColumn<QString>(column);
    }
    QFile cases(QFINDTESTDATA(u"data/"_s + file));
    QVERIFY2(cases.open(QIODevice::ReadOnly), qPrintable(file));
    const QStringList blocks = QString(u"\n"_s + QString::fromUtf8(cases.readAll())).split(u"\n== "_s).mid(1);
    for (const QString &block : blocks) {
        QStringList lines = block.split(u'\n');
        QTestData &row = QTest::newRow(lines.takeFirst().toUtf8().constData());
        QStringList parts{QString()};
        for (const QString &line : std::as_const(lines)) {
            if (line == u"--"_s) {
                parts.append(QString());
            } else if (!line.startsWith(u'#')) {
                parts.last() += line + u'\n';
            }
        }
        for (int i = 0; i < columns.size(); ++i) {
            row << expandLines(parts.value(i).trimmed());
        }
    }
}

// Whether a line says what an expected one says: "warning: <text>" stands
// for any warning holding that text, and an entry line for the short or the
// long form of the entry (a line may offer both, split by a tab).
inline bool sameLine(const QString &actual, const QString &expected)
{
    if (expected.startsWith(u"warning: "_s) && actual.startsWith(u"warning: "_s)) {
        return actual.contains(expected.mid(9));
    }
    return actual.split(u'\t').contains(expected);
}

// Fails at the first line where actual differs from expected, naming both.
inline void compareLines(const QString &actual, const QString &expected)
{
    const QStringList got = actual.split(u'\n'), want = expected.split(u'\n');
    for (qsizetype i = 0; i < qMax(got.size(), want.size()); ++i) {
        const QString a = got.value(i, u"(nothing)"_s), b = want.value(i, u"(nothing)"_s);
        if (!sameLine(a, b)) {
            QFAIL(qPrintable(u"line %1 differs\n  actual: %2\nexpected: %3"_s.arg(i + 1).arg(a.section(u'\t', 0, 0), b)));
        }
    }
}

// The entries a source made, one a line, after the warnings of its category
// (and of the categories under it) that were written meanwhile: what a user reads in the journal when
// something is refused or does not open.
class Collected
{
public:
    explicit Collected(const char *category)
    {
        prefix() = category;
        lines().clear();
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (qstrncmp(context.category, prefix(), qstrlen(prefix())) == 0 && (type == QtWarningMsg || type == QtCriticalMsg)) {
                lines() << u"warning: "_s + text;
            }
        });
    }
    ~Collected()
    {
        qInstallMessageHandler(nullptr);
    }

    // An entry reads "ideName|name|path|lastOpened", or with
    // "|icon|ideKey|sourceId|list|listLimit" after that where a row is about
    // the catalogue or the lists;
    // "|id <id>" follows when the id is not the path, "\n" for a line break.
    QString text(const QList<ProjectEntry> &entries, const FakeHome &home) const
    {
        QStringList out = lines();
        for (const ProjectEntry &e : entries) {
            const QString shortForm = QStringList{e.ideName, e.name, e.path, QString::number(e.lastOpened)}.join(u'|');
            const QString id = e.id == e.path ? QString() : u"|id "_s + QString(e.id).replace(u'\n', u"\\n"_s);
            out << shortForm + id + u'\t' + shortForm + u'|' + QStringList{e.icon, e.ideKey, e.sourceId, e.list, QString::number(e.listLimit)}.join(u'|') + id;
        }
        return home.shorten(out.join(u'\n'));
    }

private:
    static const char *&prefix()
    {
        static const char *category = nullptr;
        return category;
    }
    static QStringList &lines()
    {
        static QStringList recorded;
        return recorded;
    }
};

// A row of a reading table: the home it describes, then what the source made
// of it, after the warnings of its category; `<n>*<unit>` repeats in both.
inline void checkCollected(const ProjectSource &source, const char *category)
{
    QFETCH(QString, home);
    QFETCH(QString, entries);
    FakeHome fakeHome;
    QVERIFY(fakeHome.build(home));
    const Collected collected(category);
    compareLines(collected.text(source.collectProjects(), fakeHome), repeated(entries));
}
