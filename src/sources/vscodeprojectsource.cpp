#include "vscodeprojectsource.h"

#include <QCoreApplication>
#include <QFileInfo>

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
