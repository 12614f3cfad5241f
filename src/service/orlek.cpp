#include "orlek.h"

#include "logging.h"

#include <QJsonDocument>
#include <QJsonObject>

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

bool Orlek::action(const QString &json)
{
    Q_UNUSED(json)
    return false;
}
