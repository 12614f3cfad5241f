#include "searchpluginadaptor.h"

#include "orlek.h"

#include <QMetaObject>

SearchPluginAdaptor::SearchPluginAdaptor(Orlek *parent) : QDBusAbstractAdaptor(parent)
{
}

QString SearchPluginAdaptor::Search(const QString &json)
{
    QString out;
    QMetaObject::invokeMethod(parent(), "search", Qt::AutoConnection, Q_RETURN_ARG(QString, out), Q_ARG(QString, json));
    return out;
}

bool SearchPluginAdaptor::Stop(const QString &json)
{
    bool out = false;
    QMetaObject::invokeMethod(parent(), "stop", Qt::AutoConnection, Q_RETURN_ARG(bool, out), Q_ARG(QString, json));
    return out;
}

bool SearchPluginAdaptor::Action(const QString &json)
{
    bool out = false;
    QMetaObject::invokeMethod(parent(), "action", Qt::AutoConnection, Q_RETURN_ARG(bool, out), Q_ARG(QString, json));
    return out;
}
