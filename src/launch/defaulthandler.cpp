#include "defaulthandler.h"

#include "application.h"
#include "common/logging.h"

using namespace Qt::Literals::StringLiterals;

bool openWithDefaultHandler(const QString &path)
{
    // What Qt's desktop services would run here, without the Gui module.
    return startApplication(u"xdg-open"_s, {path}, QString(), ORLEK);
}
