#include "resultdocument.h"

#include "orlek.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace
{
QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
} // namespace

QString emptyAnswer(const QString &mID)
{
    return compact({{u"cont"_s, QJsonArray()}, {u"mID"_s, mID}, {u"ver"_s, u"1.0"_s}});
}

QString fullAnswer(const Orlek &orlek, const QString &mID, const QList<ProjectEntry> &entries)
{
    QList<ResultGroup> groups;
    QHash<QString, int> groupIndex;
    int number = 0;

    for (const ProjectEntry &entry : entries) {
        QString groupName = entry.ideName;
        if (groupName.isEmpty()) {
            if (const ProjectSource *source = orlek.sourceById(entry.sourceId)) {
                groupName = source->displayName();
            }
        }
        if (groupName.isEmpty()) {
            continue;
        }

        auto index = groupIndex.constFind(groupName);
        if (index == groupIndex.constEnd()) {
            index = groupIndex.insert(groupName, groups.size());
            groups.append({groupName, QJsonArray()});
        }

        // The number is put in first, so a '%' in the id is never taken for a placeholder.
        const QString itemId = u"%1|%2"_s.arg(number, 3, 10, QLatin1Char('0')).arg(entry.id);
        groups[*index].items.append(QJsonObject{
            {u"icon"_s, entry.icon},
            {u"item"_s, itemId},
            {u"name"_s, entry.name},
            {u"type"_s, u"ide/recent-project"_s},
        });
        ++number;
    }

    QJsonArray cont;
    for (const ResultGroup &group : std::as_const(groups)) {
        cont.append(QJsonObject{{u"group"_s, group.name}, {u"items"_s, group.items}});
    }
    return compact({{u"cont"_s, cont}, {u"mID"_s, mID}, {u"ver"_s, u"1.0"_s}});
}
