#include "vscodeprojectsource.h"

#include "common/logging.h"
#include "common/readonlydatabase.h"
#include "common/recordfile.h"
#include "common/userfolders.h"
#include "launch/application.h"
#include "launch/defaulthandler.h"
#include "launch/desktopfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <optional>

using namespace Qt::Literals::StringLiterals;

const QList<VscodeVariant> &vscodeVariants()
{
    static const QList<VscodeVariant> variants = {
        {u"Code"_s,
            QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code"),
            u"code"_s,
            u"code"_s,
            u".vscode-shared/sharedStorage/state.vscdb"_s,
            {u"com.visualstudio.code"_s}},
        {u"Code - Insiders"_s,
            QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code Insiders"),
            u"code-insiders"_s,
            u"code-insiders"_s,
            u".vscode-insiders-shared/sharedStorage/state.vscdb"_s,
            {u"com.visualstudio.code.insiders"_s}},
        // Code - OSS and VSCodium write one shared list.
        {u"Code - OSS"_s,
            QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code OSS"),
            u"code-oss"_s,
            u"code-oss"_s,
            u".vscode-oss-shared/sharedStorage/state.vscdb"_s,
            {}},
        // The command is "codium", the icon "vscodium".
        {u"VSCodium"_s,
            QT_TRANSLATE_NOOP("VscodeProjectSource", "VSCodium"),
            u"codium"_s,
            u"vscodium"_s,
            u".vscode-oss-shared/sharedStorage/state.vscdb"_s,
            {u"com.vscodium.codium"_s}},
        {u"Cursor"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "Cursor"), u"cursor"_s, u"cursor"_s, QString(), {}},
        {u"Windsurf"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "Windsurf"), u"windsurf"_s, u"windsurf"_s, QString(), {}},
        {u"Positron"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "Positron"), u"positron"_s, u"positron"_s, QString(), {}},
    };
    return variants;
}

namespace
{
const QStringList &vscodeAliases()
{
    static const QStringList aliases = {u"vsc"_s, u"vscode"_s};
    return aliases;
}

// The last component of a path, as QFileInfo's fileName() gives it (empty
// after a slash), without the QFileInfo.
QStringView fileNameOf(QStringView path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

// Whether the text after the last dot of a file name, QFileInfo's suffix(),
// is "code-workspace".
bool isWorkspaceFileName(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot >= 0 && fileName.sliced(dot + 1) == u"code-workspace"_s;
}

// The last segment of a label's path, as the editor's own recent menu shows
// it: "~/w/team (Workspace)" gives "team (Workspace)", and a trailing place
// stays, "~/app [SSH: build]" giving "app [SSH: build]".
QString labelName(const QString &label)
{
    const qsizetype bracket = label.endsWith(u']') ? label.lastIndexOf(u" ["_s, label.size() - 2) : -1;
    const QStringView path = QStringView(label).first(bracket >= 0 ? bracket : label.size());
    const qsizetype slash = path.lastIndexOf(u'/');
    // A root alone stays whole.
    return slash >= 0 && slash + 1 < path.size() ? label.sliced(slash + 1) : label;
}

// An entry's name: the label's when it has one, else the workspace file's
// name without ".code-workspace", else the last path component; then, for a
// remote one, where it is: "app [SSH: build]".
QString entryDisplayName(const QString &path, const QString &label, const QString &place = QString())
{
    const QString trimmedLabel = label.trimmed();
    if (!trimmedLabel.isEmpty()) {
        return labelName(trimmedLabel);
    }
    const QStringView fileName = fileNameOf(path);
    const QString name = (isWorkspaceFileName(fileName) ? fileName.first(fileName.lastIndexOf(u'.')) : fileName).toString();
    return place.isEmpty() ? name : name + u" ["_s + place + u']';
}

// The kinds of remote windows, by the text before the "+" of the URI's
// authority, and the place the editor's recent list names for them; whether
// the text after the "+" (a host, a distribution, a tunnel's name) follows.
struct RemoteKind {
    QStringView kind;
    QStringView place;
    bool showsData;
};
constexpr RemoteKind remoteKinds[] = {
    {u"ssh-remote", u"SSH", true},
    {u"dev-container", u"Dev Container", false},
    {u"attached-container", u"Attached Container", false},
    {u"wsl", u"WSL", true},
    {u"tunnel", u"Tunnel", true},
    {u"codespaces", u"Codespaces", true},
};

// Longer data names no host: it is shown by its kind alone, and never decoded.
constexpr qsizetype maxRemoteData = 1024;

// The data after an authority's "+" as its place shows it: a host the editor
// wrote as the hex of a JSON object, {"hostName":"Selenium","user":"me"}, as
// "me@Selenium"; anything else as written. Empty when it does not decode.
QString remoteData(QStringView data)
{
    if (data.size() > maxRemoteData) {
        return QString();
    }
    // "7b" is the hex of "{".
    if (!data.startsWith(u"7b", Qt::CaseInsensitive)) {
        return data.toString();
    }
    const QByteArray hex = data.toLatin1().toLower();
    const QByteArray json = QByteArray::fromHex(hex);
    // fromHex skips what is no hex digit; only hex that decodes whole counts.
    if (json.toHex() != hex) {
        return QString();
    }
    const QJsonObject host = QJsonDocument::fromJson(json).object();
    const QString name = host.value(u"hostName"_s).toString();
    const QString user = host.value(u"user"_s).toString();
    return name.isEmpty() || user.isEmpty() ? name : user + u'@' + name;
}

// Where a remote window runs, as the editor's recent list writes it, from
// its decoded authority: "SSH: build", "Dev Container", "Dev Container @
// build" for a container on an SSH host ("dev-container+<hex>@ssh-remote+build").
QString remotePlace(QStringView authority)
{
    const qsizetype at = authority.indexOf(u'@');
    if (at >= 0) {
        const QStringView host = authority.sliced(at + 1);
        const QString inner = remotePlace(authority.first(at));
        const QString shown = remoteData(host.sliced(host.indexOf(u'+') + 1));
        return shown.isEmpty() ? inner : inner + u" @ "_s + shown;
    }
    const qsizetype plus = authority.indexOf(u'+');
    const QStringView kind = plus < 0 ? authority : authority.first(plus);
    for (const RemoteKind &known : remoteKinds) {
        if (kind == known.kind) {
            const QString shown = known.showsData && plus >= 0 ? remoteData(authority.sliced(plus + 1)) : QString();
            return shown.isEmpty() ? known.place.toString() : known.place.toString() + u": "_s + shown;
        }
    }
    return u"Remote: "_s + kind.toString();
}

// A folder or workspace file of a remote window.
struct RemoteTarget {
    // The URI as the editor recorded it: the entry's id, what names its
    // workspace storage, and what opens it.
    QString uri;
    // Its path on the remote machine.
    QString path;
    QString place;
};

// What a "vscode-remote" URI names; nothing for another URI, one without a
// host or path, a plain file, and a folder named as a workspace file (the
// editor would be asked to open it as one). authority: as the entry keeps
// it, in its own case; else the URI's is read.
std::optional<RemoteTarget> remoteTarget(const QString &uri, bool isFolder, QString authority = QString())
{
    constexpr QStringView prefix = u"vscode-remote://";
    const qsizetype start = prefix.size();
    const qsizetype slash = uri.indexOf(u'/', start);
    if (!uri.startsWith(prefix) || slash <= start) {
        return std::nullopt;
    }
    const QString path = QUrl::fromPercentEncoding(uri.sliced(slash).toUtf8());
    if (isFolder == isWorkspaceFileName(fileNameOf(path))) {
        return std::nullopt;
    }
    if (authority.isEmpty()) {
        authority = QUrl::fromPercentEncoding(uri.sliced(start, slash - start).toUtf8());
    }
    return RemoteTarget{uri, path, remotePlace(authority)};
}
} // namespace

VscodeProjectSource::~VscodeProjectSource() = default;

QString VscodeProjectSource::id() const
{
    return u"vscode"_s;
}

QString VscodeProjectSource::displayName() const
{
    return QCoreApplication::translate("VscodeProjectSource", "VS Code");
}

namespace
{
// What one answer shows of a configuration folder's list.
constexpr int MAX_PROJECTS_PER_VARIANT = 60;

// Makes the entries of one configuration folder of a variant. What they
// share is worked out once per list, not once per entry: a list may hold
// thousands.
class EntryMaker
{
public:
    EntryMaker(const VscodeVariant &variant, const QString &configDir)
        : icon(variant.iconName)
        // The source is stateless, so a fresh instance answers its id.
        , sourceId(VscodeProjectSource().id())
        , ideName(QCoreApplication::translate("VscodeProjectSource", variant.productName))
        , ideKey(variant.executable)
        , list(configDir)
    {
    }

    ProjectEntry operator()(const QString &path, const QString &label, qint64 time) const
    {
        return make(path, path, entryDisplayName(path, label), time);
    }

    ProjectEntry operator()(const RemoteTarget &remote, const QString &label, qint64 time) const
    {
        return make(remote.uri, remote.path, entryDisplayName(remote.path, label, remote.place), time);
    }

private:
    ProjectEntry make(const QString &id, const QString &path, const QString &name, qint64 time) const
    {
        ProjectEntry entry;
        entry.id = id;
        entry.name = name;
        entry.path = path;
        entry.icon = icon;
        entry.sourceId = sourceId;
        entry.ideName = ideName;
        entry.ideKey = ideKey;
        entry.lastOpened = time;
        entry.list = list;
        entry.listLimit = MAX_PROJECTS_PER_VARIANT;
        return entry;
    }

    const QString icon;
    const QString sourceId;
    const QString ideName;
    const QString ideKey;
    const QString list;
};

// When each entry of a recent list was last used. The list only orders its
// entries, and its file changes at every start; but every folder and
// workspace has a workspace-storage folder, named by a hash that the editor
// recomputes, whose database changes whenever it is used. The list's order
// stays the truth: no entry is timed after the one before it, and one without
// such a folder takes that one's time (the first, the list's).
class ListClock
{
public:
    ListClock(const QString &configDir, qint64 listTime) : storage(configDir + u"/User/workspaceStorage/"_s), previous(listTime)
    {
    }

    // identity: what the editor hashes; see storageIdentity().
    qint64 operator()(const QByteArray &identity)
    {
        const QString dir = storage + QLatin1String(QCryptographicHash::hash(identity, QCryptographicHash::Md5).toHex());
        qint64 used = 0;
        if (modificationTime(dir + u"/state.vscdb"_s, &used) || modificationTime(dir + u"/workspace.json"_s, &used)) {
            previous = first ? used : qMin(used, previous);
        }
        first = false;
        return previous;
    }

private:
    const QString storage;
    qint64 previous;
    bool first = true;
};

// What the editor hashes on Linux to name the workspace-storage folder of a
// local folder (its path, then its inode number, so that a folder made anew
// starts afresh) or of a workspace file (its path).
QByteArray storageIdentity(const QString &path, FileKind kind, quint64 inode)
{
    return kind == FileKind::Directory ? path.toUtf8() + QByteArray::number(inode) : path.toUtf8();
}

// The local path of a URI text as QUrl in tolerant mode reads it; empty
// unless its scheme is "file" and the path is absolute.
QString localPathOfFileUri(const QString &uriText)
{
    const QUrl url(uriText, QUrl::TolerantMode);
    if (url.scheme() != u"file"_s) {
        return QString();
    }
    // A relative path ("file:." or "file:app") would name something in the
    // service's working folder rather than what an editor recorded.
    const QString path = url.toLocalFile();
    return path.startsWith(u'/') ? path : QString();
}

// The "entries" array of the recent list in one state database, empty when
// the list was cleared; nothing when the database cannot be read or holds no
// such list.
std::optional<QJsonArray> readStateDbEntries(const QString &path)
{
    const std::optional<QList<QSqlRecord>> rows
        = readDatabase(path, u"SELECT value FROM ItemTable WHERE key = 'history.recentlyOpenedPathsList'"_s, ORLEK_VSCODE);
    const QJsonDocument document = QJsonDocument::fromJson(rows && !rows->isEmpty() ? rows->constFirst().value(0).toByteArray() : QByteArray());
    if (!document.isObject()) {
        return std::nullopt;
    }
    return document.object().value(u"entries"_s).toArray();
}

// Entry objects of a recent list, timed by the clock.
QList<ProjectEntry> readRecentEntries(const QJsonArray &entries, const EntryMaker &makeEntry, ListClock clock)
{
    QList<ProjectEntry> result;
    for (const QJsonValue &value : entries) {
        // Anything but an object reads as an empty one, which names nothing.
        const QJsonObject object = value.toObject();
        QString uriText = object.value(u"folderUri"_s).toString();
        if (uriText.isEmpty()) {
            uriText = object.value(u"uri"_s).toString();
        }
        const bool isFolder = !uriText.isEmpty();
        if (uriText.isEmpty()) {
            uriText = object.value(u"fileUri"_s).toString();
        }
        // A recent multi-root workspace.
        if (uriText.isEmpty()) {
            uriText = object.value(u"workspace"_s).toObject().value(u"configPath"_s).toString();
        }
        const QString label = object.value(u"label"_s).toString();
        // Nothing can check a remote one: it is listed as the editor lists it.
        if (const auto remote = remoteTarget(uriText, isFolder, object.value(u"remoteAuthority"_s).toString())) {
            result.append(makeEntry(*remote, label, clock(remote->uri.toUtf8())));
            continue;
        }
        // An empty path, for a URI that names no local file, names nothing.
        const QString path = localPathOfFileUri(uriText);
        quint64 inode = 0;
        const FileKind kind = fileKind(path, &inode);
        if (kind == FileKind::Missing) {
            continue;
        }
        if (kind != FileKind::Directory && !isWorkspaceFileName(fileNameOf(path))) {
            continue;
        }
        result.append(makeEntry(path, label, clock(storageIdentity(path, kind, inode))));
    }
    return result;
}

// The recent submenu that the editor last put in its menu bar.
QList<ProjectEntry> readMenubarRecent(const QString &storagePath, const EntryMaker &makeEntry, const QString &configDir)
{
    RecordFile file;
    if (!readRecordFile(storagePath, &file)) {
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.contents, &error);
    if (error.error != QJsonParseError::NoError) {
        return {};
    }
    ListClock clock(configDir, file.modified);

    const QJsonObject menus = document.object().value(u"lastKnownMenubarData"_s).toObject().value(u"menus"_s).toObject();
    QJsonArray recent;
    for (auto menu = menus.constBegin(); menu != menus.constEnd(); ++menu) {
        const QJsonArray items = menu.value().toObject().value(u"items"_s).toArray();
        for (const QJsonValue &item : items) {
            const QJsonObject object = item.toObject();
            // The submenu's id changed over the releases; all of them contain this.
            if (object.value(u"id"_s).toString().contains(u"RecentMenu"_s)) {
                recent = object.value(u"submenu"_s).toObject().value(u"items"_s).toArray();
            }
        }
    }

    QList<ProjectEntry> result;
    for (const QJsonValue &value : std::as_const(recent)) {
        // Anything but an object reads as an empty one, which has no id.
        const QJsonObject item = value.toObject();
        const QString id = item.value(u"id"_s).toString();
        const bool isFolder = id == u"openRecentFolder"_s;
        if (!isFolder && id != u"openRecentWorkspace"_s) {
            continue;
        }
        const QJsonObject uri = item.value(u"uri"_s).toObject();
        const QString scheme = uri.value(u"scheme"_s).toString();
        if (scheme == u"vscode-remote"_s) {
            const QString authority = uri.value(u"authority"_s).toString();
            QString external = uri.value(u"external"_s).toString();
            // Older files keep only the parts, written back as the editor writes its URIs.
            if (external.isEmpty()) {
                external = u"vscode-remote://"_s + QLatin1String(QUrl::toPercentEncoding(authority.toLower(), "@:"))
                    + QLatin1String(QUrl::toPercentEncoding(uri.value(u"path"_s).toString(), "/"));
            }
            if (const auto remote = remoteTarget(external, isFolder, authority)) {
                result.append(makeEntry(*remote, QString(), clock(remote->uri.toUtf8())));
            }
            continue;
        }
        if (!scheme.isEmpty() && scheme != u"file"_s) {
            continue;
        }
        QString path = uri.value(u"path"_s).toString();
        if (path.isEmpty()) {
            path = QUrl(uri.value(u"external"_s).toString(), QUrl::TolerantMode).toLocalFile();
        }
        if (path.isEmpty()) {
            path = item.value(u"label"_s).toString();
        }
        if (!path.startsWith(u'/')) {
            continue;
        }
        quint64 inode = 0;
        const FileKind kind = fileKind(path, &inode);
        if (kind != (isFolder ? FileKind::Directory : FileKind::RegularFile)) {
            continue;
        }
        result.append(makeEntry(path, QString(), clock(storageIdentity(path, kind, inode))));
    }
    return result;
}

// The list older releases kept in storage.json.
QList<ProjectEntry> readLegacyOpenedPaths(const QString &storagePath, const EntryMaker &makeEntry, const QString &configDir)
{
    RecordFile file;
    if (!readRecordFile(storagePath, &file)) {
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.contents, &error);
    if (error.error != QJsonParseError::NoError) {
        qCWarning(ORLEK_VSCODE) << "Failed to parse" << storagePath << ":" << error.errorString();
        return {};
    }
    const QJsonValue list = document.object().value(u"openedPathsList"_s);
    const QJsonArray entries = list.isObject() ? list.toObject().value(u"entries"_s).toArray() : list.toArray();
    return readRecentEntries(entries, makeEntry, ListClock(configDir, file.modified));
}

// Folders and workspaces of configDir/User/workspaceStorage, newest first.
QList<ProjectEntry> scanWorkspaceStorage(const QString &configDir, const EntryMaker &makeEntry)
{
    const QString storageDir = configDir + u"/User/workspaceStorage"_s;
    if (fileKind(storageDir) != FileKind::Directory) {
        return {};
    }

    QList<ProjectEntry> hits;
    const QStringList dirs = subdirectories(storageDir);
    for (const QString &dir : dirs) {
        // A file that cannot be read reads as empty, and one that is no JSON
        // object as an empty object: neither names a folder or workspace.
        RecordFile file;
        readRecordFile(dir + u"/workspace.json"_s, &file);
        const QJsonObject root = QJsonDocument::fromJson(file.contents).object();
        const QString folder = root.value(u"folder"_s).toString();
        const bool isFolder = !folder.isEmpty();
        const QString uri = isFolder ? folder : root.value(u"workspace"_s).toString();
        const std::optional<RemoteTarget> remote = remoteTarget(uri, isFolder);
        // An empty path, for a URI that names no local file, names nothing.
        const QString path = localPathOfFileUri(uri);
        const FileKind kind = fileKind(path);
        if (!remote && (isFolder ? kind != FileKind::Directory : !(kind == FileKind::RegularFile && isWorkspaceFileName(fileNameOf(path))))) {
            continue;
        }
        // The workspace's own database changes whenever it is used; its
        // workspace.json only when the workspace was first opened.
        qint64 time = 0;
        if (!modificationTime(dir + u"/state.vscdb"_s, &time)) {
            time = file.modified;
        }
        hits.append(remote ? makeEntry(*remote, QString(), time) : makeEntry(path, QString(), time));
    }

    std::sort(hits.begin(), hits.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
        return a.lastOpened > b.lastOpened;
    });

    return hits;
}

// One configuration folder of a variant: the recent list of its state
// databases; for older editors without one, storage.json's list and then
// what only the workspace storage knows.
QList<ProjectEntry> collectVariant(const VscodeVariant &variant, const QString &configDir)
{
    const QString userDir = configDir + u"/User"_s;
    if (fileKind(userDir) != FileKind::Directory) {
        return {};
    }

    QStringList candidates;
    if (!variant.sharedStateDb.isEmpty()) {
        candidates.append(QDir::home().filePath(variant.sharedStateDb));
    }
    candidates.append(userDir + u"/globalStorage/state.vscdb"_s);

    const EntryMaker makeEntry(variant, configDir);
    // The first database that holds the list holds the editor's own, even an
    // empty one: what it lacks the user removed or cleared.
    for (const QString &candidate : std::as_const(candidates)) {
        // Regular files only: opening a FIFO would block the service.
        qint64 modified = 0;
        if (!isRegularFile(candidate, &modified)) {
            continue;
        }
        const std::optional<QJsonArray> list = readStateDbEntries(candidate);
        if (list) {
            qCDebug(ORLEK_VSCODE) << variant.configDir << ": using state.vscdb history (" << candidate << ")," << list->size() << "items";
            return readRecentEntries(*list, makeEntry, ListClock(configDir, modified));
        }
    }

    const QString storagePath = userDir + u"/globalStorage/storage.json"_s;
    QList<ProjectEntry> entries = readMenubarRecent(storagePath, makeEntry, configDir);
    if (!entries.isEmpty()) {
        qCDebug(ORLEK_VSCODE) << variant.configDir << ": using menubar recent list," << entries.size() << "items";
    } else {
        entries = readLegacyOpenedPaths(storagePath, makeEntry, configDir);
        if (!entries.isEmpty()) {
            qCDebug(ORLEK_VSCODE) << variant.configDir << ": using legacy openedPathsList";
        }
    }

    QSet<QString> seen;
    for (const ProjectEntry &entry : std::as_const(entries)) {
        seen.insert(entry.id);
    }
    const QList<ProjectEntry> hits = scanWorkspaceStorage(configDir, makeEntry);
    for (const ProjectEntry &hit : hits) {
        if (!seen.contains(hit.id)) {
            seen.insert(hit.id);
            entries.append(hit);
        }
    }
    return entries;
}

} // namespace

QList<ProjectEntry> VscodeProjectSource::collectProjects() const
{
    const QString home = QDir::homePath();
    const QString configRoot = configHome();
    QList<ProjectEntry> entries;
    for (const VscodeVariant &variant : vscodeVariants()) {
        // A Flatpak build's folder is read like the native one, after it;
        // a folder or URI both know is shown once by the search.
        entries.append(collectVariant(variant, configRoot + u'/' + variant.configDir));
        for (const QString &id : variant.flatpakIds) {
            entries.append(collectVariant(variant, home + u"/.var/app/"_s + id + u"/config/"_s + variant.configDir));
        }
    }
    return entries;
}

bool VscodeProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    return matchKeywordPrefix(keyword, vscodeAliases(), rest);
}

bool VscodeProjectSource::open(const ProjectEntry &entry) const
{
    // A remote window opens from its URI as recorded, which no default
    // handler can open. Asked to open a folder with --file-uri, the editor
    // opens windows without end.
    const bool remote = entry.id.startsWith(u"vscode-remote:"_s);
    const QStringList arguments
        = remote ? QStringList{isWorkspaceFileName(fileNameOf(entry.id)) ? u"--file-uri"_s : u"--folder-uri"_s, entry.id} : QStringList{entry.path};
    if (entry.ideKey.isEmpty()) {
        return !remote && openWithDefaultHandler(entry.path);
    }

    // The editor's own command opens folders and workspace files alike. When
    // it is there but will not start, nothing else is likely to do better.
    const QString executable = QStandardPaths::findExecutable(entry.ideKey);
    if (!executable.isEmpty()) {
        qCInfo(ORLEK_VSCODE) << "Launching" << executable << arguments;
        return startApplication(executable, arguments, QString(), ORLEK_VSCODE);
    }

    // Its entries run the command itself (a package's, a snap's, an
    // AppImage) or one of its Flatpak builds.
    const QList<VscodeVariant> &variants = vscodeVariants();
    const auto variant = std::find_if(variants.cbegin(), variants.cend(), [&entry](const VscodeVariant &candidate) {
        return candidate.executable == entry.ideKey;
    });
    const QStringList programs = QStringList{entry.ideKey} + (variant == variants.cend() ? QStringList() : variant->flatpakIds);
    if (startFromDesktopFiles({{entry.ideKey}, {}, programs}, arguments, ORLEK_VSCODE)) {
        return true;
    }

    if (remote) {
        qCWarning(ORLEK_VSCODE) << "No launcher found for" << entry.ideKey << "to open" << entry.id;
        return false;
    }
    qCWarning(ORLEK_VSCODE) << "No launcher found for" << entry.ideKey << ", fallback to file manager";
    return openWithDefaultHandler(entry.path);
}
