#include "zedprojectsource.h"

#include "common/logging.h"
#include "common/readonlydatabase.h"
#include "common/recordfile.h"
#include "common/userfolders.h"
#include "launch/application.h"
#include "launch/defaulthandler.h"
#include "launch/desktopfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

const QList<ZedChannel> &zedChannels()
{
    static const QList<ZedChannel> channels = {
        {u"stable"_s, u"Zed"_s, {u"dev.zed.Zed"_s, u"zed"_s}, u"zed"_s},
        {u"preview"_s, u"Zed Preview"_s, {u"dev.zed.Zed-Preview"_s, u"zed-preview"_s}, u"zed-preview"_s},
    };
    return channels;
}

namespace
{
// What every channel's installs run: the command-line program (zeditor on
// some distributions), or the Flatpak, which keeps its databases under
// ~/.var/app/<id>/data.
const QStringList &zedCommands()
{
    static const QStringList commands = {u"zed"_s, u"zeditor"_s};
    return commands;
}
const auto flatpakId = "dev.zed.Zed"_L1;

// What one answer shows of a channel's list.
constexpr int maxWorkspacesPerChannel = 20;

// Reads bincode, in which the 2024 databases hold their lists: little-endian
// u64s, a string as its length in one and then its bytes. A read past the
// end fails, and so does every read after it.
class BincodeReader
{
public:
    explicit BincodeReader(const QByteArray &blob) : blob(blob)
    {
    }

    quint64 number()
    {
        ok = ok && blob.size() - pos >= 8;
        const quint64 value = ok ? qFromLittleEndian<quint64>(blob.constData() + pos) : 0;
        pos += ok ? 8 : 0;
        return value;
    }

    QByteArray bytes()
    {
        const quint64 size = number();
        ok = ok && size <= quint64(blob.size() - pos);
        const QByteArray value = ok ? blob.mid(pos, qsizetype(size)) : QByteArray();
        pos += value.size();
        return value;
    }

    bool ok = true;

private:
    const QByteArray blob;
    qsizetype pos = 0;
};

// The paths in the user's order: Zed stores them sorted, and order[i] is
// where the i-th of them stood. An order that is no permutation of them
// leaves them sorted.
QStringList inUserOrder(const QStringList &stored, const QList<quint64> &order)
{
    QList<quint64> positions(stored.size());
    std::iota(positions.begin(), positions.end(), 0);
    if (!std::is_permutation(order.cbegin(), order.cend(), positions.cbegin(), positions.cend())) {
        return stored;
    }
    QStringList ordered(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        ordered[qsizetype(order[i])] = stored[i];
    }
    return ordered;
}

// A workspace's local paths in the user's order; empty for a workspace on
// another machine or one whose paths cannot be read. Today's databases keep
// them as text, "\n" between them, with a comma-separated order, and name
// the remote connection, if any, in one of these columns; those of 2024 keep
// them as bincode lists, and remote projects without any.
QStringList workspacePaths(const QSqlRecord &row)
{
    if (!row.isNull(u"remote_connection_id"_s) || !row.isNull(u"ssh_connection_id"_s)) {
        return {};
    }
    QList<quint64> order;
    if (row.contains(u"paths"_s)) {
        const QStringList indices = row.value(u"paths_order"_s).toString().split(u',');
        for (const QString &index : indices) {
            order.append(index.toULongLong());
        }
        return inUserOrder(row.value(u"paths"_s).toString().split(u'\n', Qt::SkipEmptyParts), order);
    }
    BincodeReader paths(row.value(u"local_paths"_s).toByteArray());
    QStringList stored;
    for (quint64 count = paths.number(); paths.ok && count > 0; --count) {
        stored.append(QFile::decodeName(paths.bytes()));
    }
    BincodeReader indices(row.value(u"local_paths_order"_s).toByteArray());
    for (quint64 count = indices.number(); indices.ok && count > 0; --count) {
        order.append(indices.number());
    }
    // A path cut short reads as empty, and its workspace is passed over.
    return inUserOrder(stored, order);
}

// The workspaces of one database, newest first, that Zed itself lists: all
// their paths there, and a folder among them.
QList<ProjectEntry> readWorkspaces(const QString &database, const ZedChannel &channel)
{
    QList<ProjectEntry> entries;
    const std::optional<QList<QSqlRecord>> rows = readDatabase(database, u"SELECT * FROM workspaces ORDER BY timestamp DESC"_s, ORLEK_ZED);
    for (const QSqlRecord &row : rows.value_or(QList<QSqlRecord>())) {
        const QStringList paths = workspacePaths(row);
        QStringList names;
        bool all = true;
        bool folder = false;
        for (const QString &path : paths) {
            // The id holds the paths "\n" between them, so no path may.
            const FileKind kind = path.startsWith(u'/') && !path.contains(u'\n') ? fileKind(path) : FileKind::Missing;
            all = all && kind != FileKind::Missing;
            folder = folder || kind == FileKind::Directory;
            names.append(path.sliced(path.lastIndexOf(u'/') + 1));
        }
        if (!all || !folder) {
            continue;
        }
        // UTC, as SQLite's CURRENT_TIMESTAMP writes it: "2025-03-01 10:00:00".
        const QString timestamp = row.value(u"timestamp"_s).toString();
        const QDateTime time(QDate::fromString(timestamp.left(10), Qt::ISODate), QTime::fromString(timestamp.mid(11), Qt::ISODate), Qt::UTC);

        ProjectEntry entry;
        entry.id = paths.join(u'\n');
        entry.name = names.join(u", "_s);
        entry.path = paths.constFirst();
        entry.icon = u"zed"_s;
        entry.sourceId = u"zed"_s;
        entry.ideName = channel.productName;
        entry.ideKey = channel.ideKey;
        entry.lastOpened = time.isValid() ? time.toMSecsSinceEpoch() : 0;
        entry.list = channel.ideKey;
        entry.listLimit = maxWorkspacesPerChannel;
        entries.append(entry);
    }
    return entries;
}
} // namespace

ZedProjectSource::~ZedProjectSource() = default;

QString ZedProjectSource::id() const
{
    return u"zed"_s;
}

QString ZedProjectSource::displayName() const
{
    return u"Zed"_s;
}

QList<ProjectEntry> ZedProjectSource::collectProjects() const
{
    const QString flatpakData = QDir::homePath() + u"/.var/app/"_s + flatpakId + u"/data"_s;
    QList<ProjectEntry> entries;
    for (const ZedChannel &channel : zedChannels()) {
        // One list a channel, newest first, whichever install wrote it.
        QList<ProjectEntry> list;
        for (const QString &root : {dataHome(), flatpakData}) {
            list.append(readWorkspaces(root + u"/zed/db/0-"_s + channel.channel + u"/db.sqlite"_s, channel));
        }
        std::stable_sort(list.begin(), list.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
            return a.lastOpened > b.lastOpened;
        });
        entries.append(list);
    }
    return entries;
}

bool ZedProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    return matchKeywordPrefix(keyword, {u"zed"_s}, rest);
}

bool ZedProjectSource::open(const ProjectEntry &entry) const
{
    // Every path of the workspace, in the user's order. When the command is
    // there but will not start, nothing else is likely to do better.
    const QStringList paths = entry.id.split(u'\n');
    for (const QString &command : zedCommands()) {
        const QString executable = QStandardPaths::findExecutable(command);
        if (!executable.isEmpty()) {
            qCInfo(ORLEK_ZED) << "Launching" << executable << paths;
            return startApplication(executable, paths, QString(), ORLEK_ZED);
        }
    }

    // The channel's own entries, never another channel's.
    QStringList own;
    QStringList others;
    for (const ZedChannel &channel : zedChannels()) {
        (channel.ideKey == entry.ideKey ? own : others).append(channel.desktopNames);
    }
    if (!own.isEmpty() && startFromDesktopFiles({own, others, zedCommands() + QStringList{flatpakId}}, paths, ORLEK_ZED)) {
        return true;
    }

    qCWarning(ORLEK_ZED) << "No launcher found for" << entry.ideKey << ", fallback to file manager";
    return openWithDefaultHandler(entry.path);
}
