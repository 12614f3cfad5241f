#pragma once

#include <QDBusConnection>

// Makes SIGTERM and SIGINT leave the application's event loop, so that the
// service ends as after any other quit: objects destroyed in order and exit
// code 0. Call once, after the application object exists.
void quitOnTerminationSignals();

// Lets a write to a pipe whose reader has gone (a log line, once the launcher
// or terminal that started the service is gone) fail with EPIPE instead of
// ending the service. The handler does nothing; SIG_IGN would be inherited by
// every IDE the service starts, a handler is reset for them.
void surviveClosedPipes();

// Ends the application with exit code 1 when its connection to bus is lost,
// as when the bus daemon is killed or ends with the session: a service
// nobody can reach is left for the session or its unit to start again.
void exitOnBusLoss(QDBusConnection bus);
