#include "jetbrainsprojectsource.h"

#include "launch/defaulthandler.h"
#include "launch/desktopfile.h"
#include "service/logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

const QList<JetbrainsIde> &jetbrainsIdes()
{
    static const QList<JetbrainsIde> ides = {
        {u"IntelliJIdea"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "IntelliJ IDEA"), {u"jetbrains-idea"_s, u"idea"_s}, {u"IDEA"_s}, u"idea"_s, u"idea"_s},
        {u"IdeaIC"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "IntelliJ IDEA"), {u"jetbrains-idea"_s, u"idea"_s}, {u"IDEA"_s}, u"idea"_s, u"idea"_s},
        {u"PyCharm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "PyCharm"),
            {u"jetbrains-pycharm"_s, u"pycharm"_s},
            {u"PyCharm"_s},
            u"pycharm"_s,
            u"pycharm"_s},
        {u"CLion"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "CLion"), {u"jetbrains-clion"_s, u"clion"_s}, {u"CLion"_s}, u"clion"_s, u"clion"_s},
        {u"GoLand"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "GoLand"), {u"jetbrains-goland"_s, u"goland"_s}, {u"GoLand"_s}, u"goland"_s, u"goland"_s},
        {u"WebStorm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "WebStorm"),
            {u"jetbrains-webstorm"_s, u"webstorm"_s},
            {u"WebStorm"_s},
            u"webstorm"_s,
            u"webstorm"_s},
        {u"PhpStorm"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "PhpStorm"),
            {u"jetbrains-phpstorm"_s, u"phpstorm"_s},
            {u"PhpStorm"_s},
            u"phpstorm"_s,
            u"phpstorm"_s},
        {u"Rider"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Rider"), {u"jetbrains-rider"_s, u"rider"_s}, {u"Rider"_s}, u"rider"_s, u"rider"_s},
        {u"DataGrip"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "DataGrip"),
            {u"jetbrains-datagrip"_s, u"datagrip"_s},
            {u"DataGrip"_s},
            u"datagrip"_s,
            u"datagrip"_s},
        {u"DataSpell"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "DataSpell"),
            {u"jetbrains-dataspell"_s, u"dataspell"_s},
            {u"DataSpell"_s},
            u"dataspell"_s,
            u"dataspell"_s},
        {u"RubyMine"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "RubyMine"),
            {u"jetbrains-rubymine"_s, u"rubymine"_s},
            {u"RubyMine"_s},
            u"rubymine"_s,
            u"rubymine"_s},
        {u"RustRover"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "RustRover"),
            {u"jetbrains-rustrover"_s, u"rustrover"_s},
            {u"RustRover"_s},
            u"rustrover"_s,
            u"rustrover"_s},
        {u"Aqua"_s, QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Aqua"), {u"jetbrains-aqua"_s, u"aqua"_s}, {u"Aqua"_s}, u"aqua"_s, u"aqua"_s},
        // Android Studio keeps its own naming: no "jetbrains-" desktop name,
        // a hyphenated icon, and its folders under ~/.config/Google.
        {u"AndroidStudio"_s,
            QT_TRANSLATE_NOOP("JetbrainsProjectSource", "Android Studio"),
            {u"android-studio"_s, u"androidstudio"_s},
            {u"android-studio"_s},
            u"android-studio"_s,
            u"androidstudio"_s},
    };
    return ides;
}

namespace
{
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

QList<ProjectEntry> JetbrainsProjectSource::collectProjects() const
{
    return {};
}

bool JetbrainsProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    return matchKeywordPrefix(keyword, jetbrainsAliases(), rest);
}

namespace
{
// The launcher script of the first Toolbox installation (apps/<app>/ch-0/
// <build>/bin/*.sh) whose application folder matches one of toolboxNames.
// Only the first matching application folder is looked at.
QString findToolboxScript(const QStringList &toolboxNames)
{
    const QDir apps(QDir::homePath() + u"/.local/share/JetBrains/Toolbox/apps"_s);
    const QStringList appDirs = apps.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    const auto app = std::find_if(appDirs.cbegin(), appDirs.cend(), [&toolboxNames](const QString &appDir) {
        return std::any_of(toolboxNames.cbegin(), toolboxNames.cend(), [&appDir](const QString &name) {
            return appDir.contains(name, Qt::CaseInsensitive);
        });
    });
    if (app == appDirs.cend()) {
        return QString();
    }

    const QDir channel(apps.absoluteFilePath(*app + u"/ch-0"_s));
    QStringList builds = channel.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    // Plain string order, greatest first: "9.1" comes before "10.2".
    std::sort(builds.begin(), builds.end(), std::greater<QString>());
    for (const QString &build : std::as_const(builds)) {
        const QDir bin(channel.absoluteFilePath(build + u"/bin"_s));
        const QFileInfoList scripts = bin.entryInfoList({u"*.sh"_s}, QDir::Files | QDir::Executable, QDir::Unsorted);
        if (!scripts.isEmpty()) {
            return scripts.constFirst().absoluteFilePath();
        }
    }
    return QString();
}
} // namespace

bool JetbrainsProjectSource::open(const ProjectEntry &entry) const
{
    const QList<JetbrainsIde> &ides = jetbrainsIdes();
    const auto ide = std::find_if(ides.cbegin(), ides.cend(), [&entry](const JetbrainsIde &candidate) {
        return candidate.ideKey == entry.ideKey;
    });
    if (ide == ides.cend()) {
        return openWithDefaultHandler(entry.path);
    }

    const QStringList desktopFiles = findDesktopFiles(ide->desktopNames);
    for (const QString &desktopFile : desktopFiles) {
        const QStringList command = parseDesktopExec(desktopFile);
        if (command.isEmpty()) {
            continue;
        }
        // The project goes last, wherever the entry's field code stood.
        const QString program = command.constFirst();
        const QStringList arguments = command.mid(1) << entry.path;
        qCInfo(ORLEK_JETBRAINS) << "Launching" << program << arguments;
        if (QProcess::startDetached(program, arguments)) {
            return true;
        }
    }

    const QString script = findToolboxScript(ide->toolboxNames);
    if (!script.isEmpty()) {
        qCInfo(ORLEK_JETBRAINS) << "Launching via Toolbox:" << script << entry.path;
        if (QProcess::startDetached(script, {entry.path})) {
            return true;
        }
    }

    qCWarning(ORLEK_JETBRAINS) << "No launcher found for" << entry.ideKey << ", fallback to file manager";
    return openWithDefaultHandler(entry.path);
}
