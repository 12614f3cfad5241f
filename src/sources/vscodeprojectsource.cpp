#include "vscodeprojectsource.h"

#include "launch/defaulthandler.h"
#include "launch/desktopfile.h"
#include "service/logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

const QList<VscodeVariant> &vscodeVariants()
{
    static const QList<VscodeVariant> variants = {
        {u"Code"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code"), u"code"_s, u"code"_s, u".vscode-shared/sharedStorage/state.vscdb"_s},
        {u"Code - Insiders"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code Insiders"), u"code-insiders"_s, u"code-insiders"_s, QString()},
        {u"Code - OSS"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "VS Code OSS"), u"code-oss"_s, u"code-oss"_s, QString()},
        // The command is "codium", the icon "vscodium".
        {u"VSCodium"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "VSCodium"), u"codium"_s, u"vscodium"_s, QString()},
        {u"Cursor"_s, QT_TRANSLATE_NOOP("VscodeProjectSource", "Cursor"), u"cursor"_s, u"cursor"_s, QString()},
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
} // namespace

QString entryDisplayName(const QString &path, const QString &label)
{
    const QString trimmedLabel = label.trimmed();
    if (!trimmedLabel.isEmpty()) {
        return trimmedLabel;
    }
    const QFileInfo info(path);
    if (info.suffix() == u"code-workspace"_s) {
        return info.completeBaseName();
    }
    return info.fileName();
}

VscodeProjectSource::~VscodeProjectSource() = default;

QString VscodeProjectSource::id() const
{
    return u"vscode"_s;
}

QString VscodeProjectSource::displayName() const
{
    return QCoreApplication::translate("VscodeProjectSource", "VS Code");
}

QList<ProjectEntry> VscodeProjectSource::collectProjects() const
{
    return {};
}

bool VscodeProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    return matchKeywordPrefix(keyword, vscodeAliases(), rest);
}

bool VscodeProjectSource::open(const ProjectEntry &entry) const
{
    if (entry.ideKey.isEmpty()) {
        return openWithDefaultHandler(entry.path);
    }

    // The editor's own command opens folders and workspace files alike. When
    // it is there but will not start, nothing else is likely to do better.
    const QString executable = QStandardPaths::findExecutable(entry.ideKey);
    if (!executable.isEmpty()) {
        qCInfo(ORLEK_VSCODE) << "Launching" << executable << entry.path;
        return QProcess::startDetached(executable, {entry.path});
    }

    const QStringList desktopFiles = findDesktopFiles({entry.ideKey});
    for (const QString &desktopFile : desktopFiles) {
        const QStringList command = parseDesktopExec(desktopFile);
        if (command.isEmpty()) {
            continue;
        }
        const QString program = command.constFirst();
        const QStringList arguments = command.mid(1) << entry.path;
        qCInfo(ORLEK_VSCODE) << "Launching" << program << arguments;
        if (QProcess::startDetached(program, arguments)) {
            return true;
        }
    }

    qCWarning(ORLEK_VSCODE) << "No launcher found for" << entry.ideKey << ", fallback to file manager";
    return openWithDefaultHandler(entry.path);
}
