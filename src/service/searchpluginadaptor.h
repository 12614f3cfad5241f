#pragma once

#include <QDBusAbstractAdaptor>
#include <QString>

class Orlek;

// The interface the search launcher calls. Each method hands its argument to
// the slot of the same lower-case name on the Orlek object.
class SearchPluginAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velari.sorvex.orlek.SearchPlugin")
    Q_CLASSINFO("D-Bus Introspection",
        ""
        "  <interface name=\"org.velari.sorvex.orlek.SearchPlugin\">\n"
        "    <method name=\"Search\">\n"
        "      <arg name=\"json\" type=\"s\" direction=\"in\"/>\n"
        "      <arg type=\"s\" direction=\"out\"/>\n"
        "    </method>\n"
        "    <method name=\"Action\">\n"
        "      <arg name=\"json\" type=\"s\" direction=\"in\"/>\n"
        "      <arg type=\"b\" direction=\"out\"/>\n"
        "    </method>\n"
        "    <method name=\"Stop\">\n"
        "      <arg name=\"json\" type=\"s\" direction=\"in\"/>\n"
        "      <arg type=\"b\" direction=\"out\"/>\n"
        "    </method>\n"
        "  </interface>\n"
        "")

public:
    explicit SearchPluginAdaptor(Orlek *parent);

public Q_SLOTS:
    QString Search(const QString &json);
    bool Stop(const QString &json);
    bool Action(const QString &json);
};
