#include "jetbrainsprojectsource.h"

#include <QCoreApplication>

using namespace Qt::Literals::StringLiterals;

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
