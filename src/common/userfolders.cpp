#include "userfolders.h"

#include <QDir>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace
{
QString xdgHome(const char *variable, const QString &fallback)
{
    const QString value = QFile::decodeName(qgetenv(variable));
    return value.startsWith(u'/') ? value : QDir::homePath() + fallback;
}
} // namespace

QString configHome()
{
    return xdgHome("XDG_CONFIG_HOME", u"/.config"_s);
}

QString dataHome()
{
    return xdgHome("XDG_DATA_HOME", u"/.local/share"_s);
}
