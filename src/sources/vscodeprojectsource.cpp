#include "vscodeprojectsource.h"

#include <QCoreApplication>

using namespace Qt::Literals::StringLiterals;

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
