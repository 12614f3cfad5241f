#include "shortcuts.h"

#include "logging.h"

#include <QDir>
#include <QSettings>

using namespace Qt::Literals::StringLiterals;

QHash<QString, QString> loadShortcuts()
{
    // Fixed under the home folder, whatever XDG_CONFIG_HOME says.
    QSettings settings(QDir::homePath() + u"/.config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s, QSettings::IniFormat);
    settings.beginGroup(u"Shortcut"_s);

    QHash<QString, QString> shortcuts;
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        // A value with an unquoted comma reads as a list, which gives no string.
        const QString sourceId = settings.value(key).toString().trimmed();
        const QString word = key.trimmed();
        if (!word.isEmpty() && !sourceId.isEmpty()) {
            shortcuts.insert(word, sourceId);
        }
    }

    if (!shortcuts.isEmpty()) {
        qCDebug(ORLEK) << "Configured shortcuts:" << shortcuts;
    }
    return shortcuts;
}
