#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QSqlRecord>
#include <QString>

#include <optional>

// The rows of one query on an SQLite database that an editor writes and may
// hold open meanwhile, each with its columns by name. The database is read
// without creating, changing or deleting any file of it or beside it, and
// without waiting long for the editor's lock (see the .cpp). Nothing when
// path is no regular file, cannot be opened (warned about in category) or
// the query fails.
std::optional<QList<QSqlRecord>> readDatabase(const QString &path, const QString &query, const QLoggingCategory &(*category)());
