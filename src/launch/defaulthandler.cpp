#include "defaulthandler.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

bool openWithDefaultHandler(const QString &path)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    // What Qt's desktop services run underneath on a Unix desktop.
    return QProcess::startDetached(u"xdg-open"_s, {path});
}
