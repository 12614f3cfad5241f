#include "orlek.h"

#include "common/logging.h"
#include "resultdocument.h"
#include "shortcuts.h"

#include "launch/defaulthandler.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace
{
// The launcher shows no more than this many items for one search.
constexpr qsizetype maxResults = 100;
} // namespace

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
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        qCWarning(ORLEK) << "Search: JSON parse error:" << error.errorString();
        return QString();
    }

    // Values of another JSON type read as empty strings.
    const QJsonObject request = document.object();
    const QString ver = request.value(u"ver"_s).toString();
    const QString mID = request.value(u"mID"_s).toString();
    QString keyword = request.value(u"cont"_s).toString().trimmed();
    if (ver != u"1.0"_s || mID.isEmpty()) {
        qCWarning(ORLEK) << "Search: invalid request, ver:" << ver << "mID:" << mID;
        return QString();
    }

    QString scope;
    QString rest;
    const QHash<QString, QString> shortcuts = loadShortcuts();
    for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
        if (matchKeywordPrefix(keyword, {it.key()}, &rest) && sourceById(it.value())) {
            scope = it.value();
            break;
        }
    }
    if (scope.isEmpty()) {
        for (const ProjectSource *source : std::as_const(sources)) {
            if (source->matchPrefix(keyword, &rest)) {
                scope = source->id();
                break;
            }
        }
    }
    if (!scope.isEmpty()) {
        keyword = rest;
    }

    qCDebug(ORLEK) << "Search request - mID:" << mID << "scope:" << scope << "keyword:" << keyword;
    if (keyword.isEmpty() && scope.isEmpty()) {
        return emptyAnswer(mID);
    }

    // Paths are matched only from three characters on: shorter keywords would
    // match nearly every path.
    const bool matchPaths = keyword.size() >= 3;
    QList<ProjectEntry> matched;
    // Lists are cut after the filter, so that a typed name finds a project
    // older than the newest few, as the IDEs' own longer lists do.
    QHash<QString, int> takenPerList;
    const QList<ProjectEntry> all = collectAll();
    for (const ProjectEntry &entry : all) {
        if (!scope.isEmpty() && entry.sourceId != scope) {
            continue;
        }
        if (!keyword.isEmpty() && !entry.name.contains(keyword, Qt::CaseInsensitive) && !(matchPaths && entry.path.contains(keyword, Qt::CaseInsensitive))) {
            continue;
        }
        if (entry.listLimit > 0 && ++takenPerList[entry.list] > entry.listLimit) {
            continue;
        }
        matched.append(entry);
    }

    // A project is listed once, under the IDE that used it last; on equal
    // times the first collected. Ids tell projects apart: a remote folder's
    // is its URI, so it never merges with a local folder of the same path.
    QHash<QString, qsizetype> latest;
    for (qsizetype i = 0; i < matched.size(); ++i) {
        const auto kept = latest.constFind(matched[i].id);
        if (kept == latest.cend() || matched[i].lastOpened > matched[*kept].lastOpened) {
            latest.insert(matched[i].id, i);
        }
    }
    QList<ProjectEntry> shown;
    for (qsizetype i = 0; i < matched.size(); ++i) {
        if (latest.value(matched[i].id) == i) {
            shown.append(matched[i]);
        }
    }
    matched = std::move(shown);

    std::stable_sort(matched.begin(), matched.end(), [](const ProjectEntry &a, const ProjectEntry &b) {
        return a.lastOpened > b.lastOpened;
    });
    if (matched.size() > maxResults) {
        matched.resize(maxResults);
    }

    for (ProjectEntry &entry : matched) {
        // One pass, so a "%2" inside the name stays as it is.
        entry.name = tr("%1 (%2)").arg(entry.name, entry.path);
        itemCache.insert(entry.id, entry);
    }

    qCInfo(ORLEK) << "Search - mID:" << mID << "matched:" << matched.size();
    return fullAnswer(*this, mID, matched);
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
    static const QRegularExpression number(u"^\\d\\d\\d\\|(?=.)"_s, QRegularExpression::UseUnicodePropertiesOption);
    return QString(item).remove(number);
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
