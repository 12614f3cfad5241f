#pragma once

#include "sources/projectsource.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

// The service object published on the session bus. It does not own its
// sources: start-up keeps them alive for the whole process.
class Orlek : public QObject
{
    Q_OBJECT

public:
    explicit Orlek(QObject *parent = nullptr);
    ~Orlek() override;

    void addSource(ProjectSource *source);
    ProjectSource *sourceById(const QString &id) const;
    QList<ProjectEntry> collectAll() const;

public Q_SLOTS:
    QString search(const QString &json);
    bool stop(const QString &json);
    bool action(const QString &json);

private:
    QList<ProjectSource *> sources;
    // Every entry shown by a search, under its id, for later actions.
    QHash<QString, ProjectEntry> itemCache;
};
