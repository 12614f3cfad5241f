#pragma once

// Shared by the fuzz targets: the code they feed, a home of each target's own
// at a fixed place that its corpus names, and no log output.

#include "launch/desktopfile.h"
#include "service/orlek.h"
#include "sources/allsources.h"

#include <QDir>
#include <QJsonDocument>
#include <QLoggingCategory>

#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

// Stops the run, so that the fuzzer keeps the input.
#define CHECK(cond) ((cond) ? void() : std::abort())

inline void put(const QString &path, const QByteArray &bytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// Once per process: /tmp/orlek-fuzz/<name>, also the user's data folder, with
// the files named ("<path>[\t<text>]", "|" between them).
inline QString fuzzHome(const QString &name, const QString &files)
{
    QLoggingCategory::setFilterRules(u"*=false"_s);
    const QString home = u"/tmp/orlek-fuzz/"_s + name;
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", home.toUtf8());
    for (const QString &file : files.split(u'|')) {
        put(home + u'/' + file.section(u'\t', 0, 0), file.section(u'\t', 1).toUtf8());
    }
    return home;
}
