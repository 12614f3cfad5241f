#include "defaulthandler.h"

#include <QProcess>

using namespace Qt::Literals::StringLiterals;

bool openWithDefaultHandler(const QString &path)
{
    // What Qt's desktop services would run here, without the Gui module.
    return QProcess::startDetached(u"xdg-open"_s, {path});
}
