#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QVariant>

// One answered (or failed) call, with its round-trip time.
struct CallResult {
    bool ok = false;
    double ms = 0;
    QVariant value;
    QString error;
};

// The service under test on a bus of its own: a private dbus-daemon as a
// child, the service started with HOME at a given home, and a connection of
// ours to that bus. Both children end with this object, or with this
// process if it dies first.
class PrivateBusService
{
public:
    explicit PrivateBusService(const QString &program);
    ~PrivateBusService();

    Q_DISABLE_COPY(PrivateBusService)

    // Starts the bus and the service, and calls Stop until one is answered.
    // firstAnswerMs receives the time from the service's start to that answer.
    bool start(const QString &home, const QString &logPath, double *firstAnswerMs, QString *error);
    void stop();

    CallResult call(const QString &method, const QString &json, int timeoutMs = 60000);

    // VmRSS of the service, in kB; -1 when it cannot be read.
    qint64 residentKb() const;

private:
    bool startBus(QString *error);

    QString m_program;
    QProcess m_daemon;
    QProcess m_service;
    QString m_connectionName;
    QDBusConnection m_bus;
};
