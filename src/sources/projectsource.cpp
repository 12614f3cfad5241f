#include "projectsource.h"

#include "launch/defaulthandler.h"

ProjectSource::~ProjectSource() = default;

bool ProjectSource::matchPrefix(const QString &keyword, QString *rest) const
{
    Q_UNUSED(keyword)
    Q_UNUSED(rest)
    return false;
}

bool ProjectSource::open(const ProjectEntry &entry) const
{
    return openWithDefaultHandler(entry.path);
}

bool matchKeywordPrefix(const QString &keyword, const QStringList &aliases, QString *rest)
{
    // Only U+0020 separates: a tab keeps the whole text one word.
    const qsizetype space = keyword.indexOf(QLatin1Char(' '));
    const QStringView firstWord = space >= 0 ? QStringView(keyword).left(space) : QStringView(keyword);

    for (const QString &alias : aliases) {
        if (firstWord.compare(alias, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (rest) {
            *rest = space >= 0 ? keyword.mid(space + 1).trimmed() : QString();
        }
        return true;
    }
    return false;
}
