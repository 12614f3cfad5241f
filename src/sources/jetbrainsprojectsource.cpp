#include "jetbrainsprojectsource.h"

#include "common/logging.h"
#include "common/recordfile.h"
#include "common/userfolders.h"
#include "launch/application.h"
#include "launch/defaulthandler.h"
#include "launch/desktopfile.h"

#include <QBuffer>
#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QVersionNumber>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

const QList<JetbrainsIde> &jetbrainsIdes()
{
    static const QList<JetbrainsIde> ides = {
        // Both IntelliJ IDEA editions share the launcher names; their entries
        // and Toolbox folders differ by the longer Community names.
        {u"IntelliJIdea"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "IntelliJ IDEA"),
            {u"jetbrains-idea"_s, u"idea"_s},
            {u"IDEA"_s},
            u"idea.sh"_s,
            {u"idea"_s, u"intellij-idea-ultimate"_s, u"com.jetbrains.IntelliJ-IDEA-Ultimate"_s},
            u"idea"_s,
            u"idea"_s,
            u"idea-ce"_s,
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"IdeaIC"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "IntelliJ IDEA"),
            {u"jetbrains-idea-ce"_s, u"idea"_s},
            {u"IDEA-C"_s, u"intellij-idea-community"_s},
            u"idea.sh"_s,
            {u"idea"_s, u"intellij-idea-community"_s, u"com.jetbrains.IntelliJ-IDEA-Community"_s},
            u"idea"_s,
            u"idea-ce"_s,
            u"idea"_s,
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"PyCharm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "PyCharm"),
            {u"jetbrains-pycharm"_s, u"pycharm"_s},
            {u"PyCharm"_s},
            u"pycharm.sh"_s,
            {u"pycharm"_s, u"pycharm-professional"_s, u"com.jetbrains.PyCharm-Professional"_s},
            u"pycharm"_s,
            u"pycharm"_s,
            u"pycharm-ce"_s,
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"PyCharmCE"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "PyCharm"),
            {u"jetbrains-pycharm-ce"_s, u"pycharm"_s},
            {u"PyCharm-C"_s, u"pycharm-community"_s},
            u"pycharm.sh"_s,
            {u"pycharm"_s, u"pycharm-community"_s, u"com.jetbrains.PyCharm-Community"_s},
            u"pycharm"_s,
            u"pycharm-ce"_s,
            u"pycharm"_s,
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"CLion"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "CLion"),
            {u"jetbrains-clion"_s, u"clion"_s},
            {u"CLion"_s},
            u"clion.sh"_s,
            {u"clion"_s, u"com.jetbrains.CLion"_s},
            u"clion"_s,
            u"clion"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"GoLand"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "GoLand"),
            {u"jetbrains-goland"_s, u"goland"_s},
            {u"GoLand"_s},
            u"goland.sh"_s,
            {u"goland"_s, u"com.jetbrains.GoLand"_s},
            u"goland"_s,
            u"goland"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"WebStorm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "WebStorm"),
            {u"jetbrains-webstorm"_s, u"webstorm"_s},
            {u"WebStorm"_s},
            u"webstorm.sh"_s,
            {u"webstorm"_s, u"com.jetbrains.WebStorm"_s},
            u"webstorm"_s,
            u"webstorm"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"PhpStorm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "PhpStorm"),
            {u"jetbrains-phpstorm"_s, u"phpstorm"_s},
            {u"PhpStorm"_s},
            u"phpstorm.sh"_s,
            {u"phpstorm"_s, u"com.jetbrains.PhpStorm"_s},
            u"phpstorm"_s,
            u"phpstorm"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"Rider"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Rider"),
            {u"jetbrains-rider"_s, u"rider"_s},
            {u"Rider"_s},
            u"rider.sh"_s,
            {u"rider"_s, u"com.jetbrains.Rider"_s},
            u"rider"_s,
            u"rider"_s,
            QString(),
            u"recentSolutions.xml"_s,
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"DataGrip"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "DataGrip"),
            {u"jetbrains-datagrip"_s, u"datagrip"_s},
            {u"DataGrip"_s},
            u"datagrip.sh"_s,
            {u"datagrip"_s, u"com.jetbrains.DataGrip"_s},
            u"datagrip"_s,
            u"datagrip"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"DataSpell"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "DataSpell"),
            {u"jetbrains-dataspell"_s, u"dataspell"_s},
            {u"DataSpell"_s},
            u"dataspell.sh"_s,
            {u"dataspell"_s},
            u"dataspell"_s,
            u"dataspell"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"RubyMine"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "RubyMine"),
            {u"jetbrains-rubymine"_s, u"rubymine"_s},
            {u"RubyMine"_s},
            u"rubymine.sh"_s,
            {u"rubymine"_s},
            u"rubymine"_s,
            u"rubymine"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"RustRover"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "RustRover"),
            {u"jetbrains-rustrover"_s, u"rustrover"_s},
            {u"RustRover"_s},
            u"rustrover.sh"_s,
            {u"rustrover"_s, u"com.jetbrains.RustRover"_s},
            u"rustrover"_s,
            u"rustrover"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        {u"Aqua"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Aqua"),
            {u"jetbrains-aqua"_s, u"aqua"_s},
            {u"Aqua"_s},
            u"aqua.sh"_s,
            {u"aqua"_s},
            u"aqua"_s,
            u"aqua"_s,
            QString(),
            QString(),
            u"JetBrains"_s,
            u"com.jetbrains."_s},
        // Android Studio keeps its own naming: "jetbrains-studio" desktop
        // names, a hyphenated icon, and its folders under Google.
        {u"AndroidStudio"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Android Studio"),
            {u"jetbrains-studio"_s, u"android-studio"_s, u"androidstudio"_s},
            {u"android-studio"_s, u"AndroidStudio"_s},
            u"studio.sh"_s,
            {u"studio"_s, u"android-studio"_s, u"com.google.AndroidStudio"_s},
            u"android-studio"_s,
            u"androidstudio"_s,
            QString(),
            QString(),
            u"Google"_s,
            u"com.google.AndroidStudio"_s},
    };
    return ides;
}

namespace
{
const JetbrainsIde *findIde(const QString &ideKey)
{
    const QList<JetbrainsIde> &ides = jetbrainsIdes();
    const auto ide = std::find_if(ides.cbegin(), ides.cend(), [&ideKey](const JetbrainsIde &candidate) {
        return candidate.ideKey == ideKey;
    });
    return ide == ides.cend() ? nullptr : &*ide;
}

const QStringList &jetbrainsAliases()
{
    static const QStringList aliases = {u"jh"_s, u"jb"_s, u"jetbrains"_s};
    return aliases;
}
} // namespace

JetbrainsProjectSource::~JetbrainsProjectSource() = default;

QString JetbrainsProjectSource::id() const
{
    return u"jetbrains"_s;
}

QString JetbrainsProjectSource::displayName() const
{
    return QCoreApplication::translate("JetbrainsProjectSource", "JetBrains IDEs");
}

namespace
{
struct VersionDir {
    QString path;
    QString name;
    // Null when the name carries no version.
    QVersionNumber version;
    // The edition that wrote it.
    const JetbrainsIde *edition;
};

// The version that follows a folder's product prefix and any edition
// letters: 2024.3 for PyCharmCE2024.3. A name with more after the version is
// a copy, such as the IntelliJIdea2024.3-backup that restoring the default
// settings leaves, and has none.
QVersionNumber versionOf(const QString &name, qsizetype prefixLength)
{
    qsizetype start = prefixLength;
    while (start < name.size() && name.at(start).isLetter()) {
        ++start;
    }
    qsizetype end = 0;
    const QVersionNumber version = QVersionNumber::fromString(QStringView(name).sliced(start), &end);
    return start + end == name.size() ? version : QVersionNumber();
}
} // namespace

namespace
{
// Makes an entry for a path as the IDE recorded it, unless it is empty, not
// absolute after expanding $USER_HOME$, or no longer exists. What the entries
// of one file share is worked out once, not once per path.
class RecentProjectAdder
{
public:
    RecentProjectAdder(const JetbrainsIde &row, const QString &label)
        : row(row)
        , home(QDir::homePath())
        , ideName(label.isEmpty() ? productName(row) : QCoreApplication::translate("JetbrainsProjectSource", "%1 - %2").arg(productName(row), label))
    {
    }

    void operator()(QList<ProjectEntry> &list, const QString &path, qint64 time, const QString &displayName = QString()) const
    {
        if (path.isEmpty()) {
            return;
        }
        const auto userHome = "$USER_HOME$"_L1;
        const QString expanded = path.startsWith(userHome) ? home + QStringView(path).mid(userHome.size()) : path;
        // Other macros, Windows paths copied between machines and relative
        // paths cannot be opened here.
        if (!expanded.startsWith(u'/')) {
            return;
        }
        const FileKind kind = fileKind(expanded);
        if (kind == FileKind::Missing) {
            return;
        }

        ProjectEntry entry;
        entry.id = expanded;
        // The name the Welcome screen shows: the one the IDE recorded, else a
        // project folder's own, else solution files without their suffix and
        // folders as they are.
        const QFileInfo info(expanded);
        entry.name = displayName;
        if (entry.name.isEmpty() && kind == FileKind::Directory) {
            entry.name = projectNameFile(expanded);
        }
        if (entry.name.isEmpty()) {
            entry.name = kind == FileKind::RegularFile ? info.completeBaseName() : info.fileName();
        }
        entry.path = expanded;
        entry.icon = row.iconName;
        entry.sourceId = u"jetbrains"_s;
        entry.ideName = ideName;
        entry.ideKey = row.ideKey;
        entry.lastOpened = time;
        list.append(entry);
    }

private:
    static QString productName(const JetbrainsIde &row)
    {
        return QCoreApplication::translate("JetbrainsProjectSource", row.productName);
    }

    // The first line of the project's .idea/.name, where a renamed project
    // keeps its name; empty when there is none.
    static QString projectNameFile(const QString &folder)
    {
        RecordFile file;
        if (!readRecordFile(folder + u"/.idea/.name"_s, &file, 1024)) {
            return QString();
        }
        return QString::fromUtf8(file.contents).section(u'\n', 0, 0).trimmed();
    }

    const JetbrainsIde &row;
    const QString home;
    const QString ideName;
};

// Whether the file is shaped as the IDEs write theirs. QXmlStreamReader
// compares every attribute name of an element with every other one, and each
// element may offer a path to check on disk, so a file far beyond any real
// one in tags, tag length or attributes per tag could stall every search.
bool looksLikeIdeXml(const QByteArray &xml)
{
    constexpr qsizetype maxTags = 100000;
    constexpr qsizetype maxTagLength = 64 * 1024;
    constexpr int maxAttributes = 64;
    const char *p = xml.constData();
    const char *const end = p + xml.size();
    qsizetype tags = 0;
    // Text and quoted values are skipped with memchr: a search reads these
    // files on every call.
    while ((p = static_cast<const char *>(std::memchr(p, '<', end - p)))) {
        if (++tags > maxTags) {
            return false;
        }
        const char *const tag = p;
        int attributes = 0;
        for (++p; p < end && *p != '>'; ++p) {
            if (*p == '"' || *p == '\'') {
                p = static_cast<const char *>(std::memchr(p + 1, *p, end - p - 1));
                if (++attributes > maxAttributes || !p) {
                    return attributes <= maxAttributes && end - tag <= maxTagLength;
                }
            }
            if (p - tag > maxTagLength) {
                return false;
            }
        }
    }
    return true;
}

QList<ProjectEntry> readRecentXml(const QByteArray &xml, qint64 fileTime, const JetbrainsIde &row, const QString &label)
{
    const RecentProjectAdder addRecentProject(row, label);
    QList<ProjectEntry> entries;
    // Files of today's layout list their projects in the map only.
    bool hasMap = false;
    // One current entry, not a stack: entries do not nest in these files.
    QString currentPath;
    QString displayName;
    bool hidden = false;
    // Unset while negative.
    qint64 opened = -1;
    qint64 activated = -1;

    // Through a device, so that the reader decodes a chunk at a time rather
    // than the whole file into one string.
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&buffer);
    // The IDEs use no namespaces: an element with a stray prefix must not end
    // the reading, and resolving them costs time on every element.
    reader.setNamespaceProcessing(false);
    // A malformed or truncated file ends the loop like a complete one; the
    // entries finished before the fault are kept.
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (reader.name() == "entry"_L1) {
                currentPath = reader.attributes().value("key"_L1).toString();
                displayName.clear();
                hidden = false;
                opened = activated = -1;
            } else if (reader.name() == "RecentProjectMetaInfo"_L1) {
                const QXmlStreamAttributes attributes = reader.attributes();
                displayName = attributes.value("displayName"_L1).toString();
                hidden = attributes.value("hidden"_L1) == "true"_L1;
            } else if (reader.name() == "option"_L1) {
                const QXmlStreamAttributes attributes = reader.attributes();
                const QStringView name = attributes.value("name"_L1);
                if (!currentPath.isEmpty()) {
                    // Unreadable times count as 0.
                    if (name == "projectOpenTimestamp"_L1) {
                        opened = attributes.value("value"_L1).toLongLong(nullptr, 10);
                    } else if (name == "activationTimestamp"_L1) {
                        activated = attributes.value("value"_L1).toLongLong(nullptr, 10);
                    }
                } else if (name == "additionalInfo"_L1) {
                    hasMap = true;
                } else if (!hasMap && name != "lastProjectLocation"_L1 && name != "lastProjectCreationLocation"_L1) {
                    // In a file of the old layout, any loose option but the
                    // default folders for new projects (lastOpenedProject, the
                    // recentPaths list) may name a project. With the map, which
                    // the IDEs write first, they name none the IDE lists:
                    // lastOpenedProject may name a project removed from the
                    // list, and groups hold map entries.
                    addRecentProject(entries, attributes.value("value"_L1).toString(), fileTime);
                }
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == "entry"_L1 && !currentPath.isEmpty()) {
            // A project reopened at start keeps its open time; its activation
            // time moves whenever it is used.
            if (!hidden) {
                addRecentProject(entries, currentPath, opened < 0 && activated < 0 ? fileTime : qMax(opened, activated), displayName);
            }
            currentPath.clear();
        }
    }
    return entries;
}

// The projects one recent-projects file offers, in file order. label is
// empty, or the translated kind of list ("Solutions") for the group name.
QList<ProjectEntry> readRecentFile(const QString &filePath, const JetbrainsIde &row, const QString &label)
{
    RecordFile file;
    if (!readRecordFile(filePath, &file)) {
        return {};
    }
    if (!looksLikeIdeXml(file.contents)) {
        qCDebug(ORLEK_JETBRAINS) << "Skipping" << filePath << ": no IDE writes a file of this shape";
        return {};
    }
    return readRecentXml(file.contents, file.modified, row, label);
}
} // namespace

QList<ProjectEntry> JetbrainsProjectSource::collectProjects() const
{
    // What one answer shows of a product's list.
    constexpr int maxProjectsPerIde = 20;

    const QString home = QDir::homePath();
    const QString configRoot = configHome();
    const QStringList flatpaks = subdirectories(home + u"/.var/app"_s);
    // Version folders of each settings folder and Flatpak ids, each as
    // root, "/" and name: the native ones first, then those of Flatpak
    // installs, which keep the same tree.
    QHash<QString, QStringList> versionDirs;
    const auto versionDirsOf = [&](const JetbrainsIde &row) -> const QStringList & {
        const QString key = row.settingsDir + u'/' + row.flatpakIdPrefix;
        auto found = versionDirs.find(key);
        if (found == versionDirs.end()) {
            QStringList dirs = subdirectories(configRoot + u'/' + row.settingsDir);
            for (const QString &app : flatpaks) {
                if (QStringView(app).sliced(app.lastIndexOf(u'/') + 1).startsWith(row.flatpakIdPrefix)) {
                    dirs.append(subdirectories(app + u"/config/"_s + row.settingsDir));
                }
            }
            found = versionDirs.insert(key, dirs);
        }
        return *found;
    };

    // Only folders of one version are left to the collator.
    QCollator collator;
    collator.setNumericMode(true);

    const QString solutionsLabel = QCoreApplication::translate("JetbrainsProjectSource", "Solutions");

    QList<ProjectEntry> result;
    for (const JetbrainsIde &row : jetbrainsIdes()) {
        const JetbrainsIde *other = findIde(row.otherEdition);
        if (other && row.configPrefix.startsWith(other->configPrefix)) {
            continue;
        }

        QList<VersionDir> dirs;
        for (const QString &dir : versionDirsOf(row)) {
            const QString name = dir.sliced(dir.lastIndexOf(u'/') + 1);
            if (name.startsWith(row.configPrefix)) {
                // The folder tells the edition: PyCharmCE2024.3 is Community's.
                const bool byOther = other && other->configPrefix.startsWith(row.configPrefix) && name.startsWith(other->configPrefix);
                dirs.append({dir, name, versionOf(name, row.configPrefix.size()), byOther ? other : &row});
            }
        }
        // Newest version first, whatever edition letters precede it; equal
        // versions in collator order, the native folder before a Flatpak
        // one of the same name; folders without a version last.
        std::stable_sort(dirs.begin(), dirs.end(), [&collator](const VersionDir &a, const VersionDir &b) {
            if (a.version.isNull() != b.version.isNull()) {
                return b.version.isNull();
            }
            const int byVersion = QVersionNumber::compare(a.version, b.version);
            return byVersion != 0 ? byVersion > 0 : collator.compare(a.name, b.name) > 0;
        });

        QSet<QString> seen;
        for (const VersionDir &versionDir : std::as_const(dirs)) {
            const QString &dir = versionDir.path;
            QList<ProjectEntry> found = readRecentFile(dir + u"/options/recentProjects.xml"_s, *versionDir.edition, QString());
            if (!row.solutionsFile.isEmpty()) {
                found.append(readRecentFile(dir + u"/options/"_s + row.solutionsFile, *versionDir.edition, solutionsLabel));
            }
            std::stable_sort(found.begin(), found.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
                return a.lastOpened > b.lastOpened;
            });

            int count = 0;
            for (ProjectEntry &entry : found) {
                if (seen.contains(entry.path)) {
                    continue;
                }
                seen.insert(entry.path);
                entry.list = dir;
                entry.listLimit = maxProjectsPerIde;
                result.append(entry);
                ++count;
            }
            // The newest version that knows any project speaks for the product.
            if (count > 0) {
                qCDebug(ORLEK_JETBRAINS) << row.productName << ": using" << dir << count << "items";
                break;
            }
        }
    }
    return result;
}

bool JetbrainsProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    return matchKeywordPrefix(keyword, jetbrainsAliases(), rest);
}

namespace
{
// The launcher script of the first Toolbox installation of the IDE, in
// application folders named after it (and not after its other edition) in
// name order. Toolbox 1.x keeps one folder per build (apps/<app>/ch-0/<build>);
// Toolbox 2 puts the IDE straight into apps/<app>.
QString findToolboxScript(const JetbrainsIde &ide, const JetbrainsIde *other)
{
    // The longest of names that a folder name holds, ignoring case.
    const auto longest = [](const QString &appDir, const QStringList &names) {
        qsizetype length = 0;
        for (const QString &name : names) {
            length = appDir.contains(name, Qt::CaseInsensitive) ? qMax(length, name.size()) : length;
        }
        return length;
    };
    const QDir apps(QDir::homePath() + u"/.local/share/JetBrains/Toolbox/apps"_s);
    for (const QString &app : apps.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (longest(app, ide.toolboxNames) <= longest(app, other ? other->toolboxNames : QStringList())) {
            continue;
        }
        const QDir channel(apps.absoluteFilePath(app + u"/ch-0"_s));
        QStringList builds = {apps.absoluteFilePath(app)};
        if (channel.exists()) {
            builds = channel.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
            // Plain string order, greatest first: "9.1" comes before "10.2".
            std::sort(builds.begin(), builds.end(), std::greater<QString>());
            for (QString &build : builds) {
                build = channel.absoluteFilePath(build);
            }
        }
        for (const QString &build : std::as_const(builds)) {
            // Never another script of bin: format.sh, for one, rewrites the files it is given.
            const QFileInfo script(build + u"/bin/"_s + ide.launcherScript);
            if (script.isFile() && script.isExecutable()) {
                return script.absoluteFilePath();
            }
        }
    }
    return QString();
}

// Starts one edition through its desktop entries, else its Toolbox launcher.
bool startEdition(const JetbrainsIde &ide, const QString &path)
{
    const JetbrainsIde *other = findIde(ide.otherEdition);
    const DesktopEntryQuery query{ide.desktopNames, other ? other->desktopNames : QStringList(), ide.programs + QStringList{ide.launcherScript}};
    if (startFromDesktopFiles(query, {path}, ORLEK_JETBRAINS)) {
        return true;
    }

    const QString script = findToolboxScript(ide, other);
    if (!script.isEmpty()) {
        qCInfo(ORLEK_JETBRAINS) << "Launching via Toolbox:" << script << path;
        if (startApplication(script, {path}, QString(), ORLEK_JETBRAINS)) {
            return true;
        }
    }
    return false;
}
} // namespace

bool JetbrainsProjectSource::open(const ProjectEntry &entry) const
{
    const JetbrainsIde *ide = findIde(entry.ideKey);
    if (!ide) {
        return openWithDefaultHandler(entry.path);
    }

    // The edition that recorded the project, else the other one.
    const JetbrainsIde *other = findIde(ide->otherEdition);
    if (startEdition(*ide, entry.path) || (other && startEdition(*other, entry.path))) {
        return true;
    }

    qCWarning(ORLEK_JETBRAINS) << "No launcher found for" << entry.ideKey << ", fallback to file manager";
    return openWithDefaultHandler(entry.path);
}
