#include "orlek.h"
#include "searchpluginadaptor.h"
#include "sources/allsources.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"orlek-plugin"_s);
    // Stopping the session or the unit ends the service like any other quit;
    // a signal that comes before the event loop runs is acted on once it does.
    quitOnTerminationSignals();
    surviveClosedPipes();

    QTranslator translator;
    const QLocale locale = QLocale::system();
    // The build tree, then where this copy is installed (any prefix, so that
    // /usr/local and relocated installs are translated too), the system's
    // copy, and Qt's own folder.
    const QStringList translationDirs = {
        QCoreApplication::applicationDirPath() + u"/translations"_s,
        QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/orlek-plugin/translations"_s),
        u"/usr/share/orlek-plugin/translations"_s,
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    bool translated = false;
    for (const QString &dir : translationDirs) {
        if (translator.load(u"orlek-plugin_%1"_s.arg(locale.name()), dir)) {
            QCoreApplication::installTranslator(&translator);
            translated = true;
            break;
        }
    }
    qInfo("Orlek plugin locale: %s, translation loaded: %s", locale.name().toLocal8Bit().constData(), translated ? "yes" : "no");

    const std::vector<std::unique_ptr<ProjectSource>> sources = allSources();
    Orlek orlek;
    for (const std::unique_ptr<ProjectSource> &source : sources) {
        orlek.addSource(source.get());
    }

    new SearchPluginAdaptor(&orlek);

    const QString serviceName = u"org.velari.sorvex.orlek"_s;
    const QString objectPath = u"/org/velari/sorvex/orlek"_s;

    QDBusConnection bus = QDBusConnection::sessionBus();
    exitOnBusLoss(bus);
    if (!bus.registerService(serviceName)) {
        qCritical("Failed to register DBus service: %s", qPrintable(serviceName));
        return 1;
    }
    if (!bus.registerObject(objectPath, &orlek, QDBusConnection::ExportAdaptors)) {
        qCritical("Failed to register DBus object: %s", qPrintable(objectPath));
        return 1;
    }

    qInfo("Orlek plugin started - Service: %s, Path: %s", qPrintable(serviceName), qPrintable(objectPath));
    return app.exec();
}
