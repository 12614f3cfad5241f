#include "jetbrainsprojectsource.h"

#include <QCoreApplication>

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
