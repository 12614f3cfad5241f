#pragma once

#include "sources/projectsource.h"

#include <QJsonArray>
#include <QList>
#include <QString>

class Orlek;

// One heading of the answer while it is built: the IDE's name and its items.
struct ResultGroup {
    QString name;
    QJsonArray items;
};

// The answer to a search that shows nothing: no groups, just the echo.
QString emptyAnswer(const QString &mID);

// The answer listing entries (already ordered and capped) grouped by IDE, in
// order of first appearance. An item's id is its running number over the
// whole answer, at least three digits, a "|" and the entry's id.
QString fullAnswer(const Orlek &orlek, const QString &mID, const QList<ProjectEntry> &entries);
