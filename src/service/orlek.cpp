#include "orlek.h"

#include "logging.h"

#include "launch/defaulthandler.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

Orlek::Orlek(QObject *parent) : QObject(parent)
{
    qCInfo(ORLEK) << "Orlek service initialized";
}

Orlek::~Orlek() = default;

void Orlek::addSource(ProjectSource *source)
{
    if (!source || sources.contains(source)) {
        return;
    }
    sources.append(source);
}

ProjectSource *Orlek::sourceById(const QString &id) const
{
    for (ProjectSource *source : sources) {
        if (source->id() == id) {
            return source;
        }
    }
    return nullptr;
}

QList<ProjectEntry> Orlek::collectAll() const
{
    QList<ProjectEntry> all;
    for (const ProjectSource *source : sources) {
        const QList<ProjectEntry> entries = source->collectProjects();
        for (const ProjectEntry &entry : entries) {
            if (!entry.id.isEmpty() && !entry.name.isEmpty() && !entry.path.isEmpty()) {
                all.append(entry);
            }
        }
    }
    return all;
}

QString Orlek::search(const QString &json)
{
    Q_UNUSED(json)
    return QString();
}

bool Orlek::stop(const QString &json)
{
    // A search is complete when its answer is sent: there is nothing to stop.
    const QJsonObject request = QJsonDocument::fromJson(json.toUtf8()).object();
    qCDebug(ORLEK) << "Stop search task:" << request.value(u"mID"_s).toString();
    return true;
}

namespace
{
// Result item ids are "<number of at least three digits>|<entry id>"; only a
// three-digit number followed by more text is taken for that prefix.
QString stripItemNumber(const QString &item)
{
    if (item.size() > 4 && item.at(3) == u'|' && item.at(0).isDigit() && item.at(1).isDigit() && item.at(2).isDigit()) {
        return item.mid(4);
    }
    return item;
}
} // namespace

bool Orlek::action(const QString &json)
{
    const QJsonObject request = QJsonDocument::fromJson(json.toUtf8()).object();
    const QString verb = request.value(u"action"_s).toString();
    const QString receivedItem = request.value(u"item"_s).toString();
    qCDebug(ORLEK) << "Action:" << verb << "item:" << receivedItem;
    if (verb != u"openitem"_s || receivedItem.isEmpty()) {
        return false;
    }

    const QString item = stripItemNumber(receivedItem);
    // Only what a source reported is ever opened: the cache holds what a
    // search showed, and a miss is answered from the sources themselves.
    ProjectEntry entry = itemCache.value(item);
    if (entry.path.isEmpty()) {
        const QList<ProjectEntry> all = collectAll();
        const auto found = std::find_if(all.cbegin(), all.cend(), [&item](const ProjectEntry &candidate) {
            return candidate.id == item;
        });
        entry = found != all.cend() ? *found : ProjectEntry();
    }
    if (entry.path.isEmpty()) {
        qCWarning(ORLEK) << "Action: unknown item:" << item;
        return false;
    }

    if (const ProjectSource *owner = sourceById(entry.sourceId)) {
        qCInfo(ORLEK) << "Opening project:" << entry.path << "via" << entry.sourceId;
        return owner->open(entry);
    }
    qCInfo(ORLEK) << "Opening project via fallback:" << entry.path;
    return openWithDefaultHandler(entry.path);
}
