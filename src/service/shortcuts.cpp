#include "shortcuts.h"

#include "common/logging.h"

#include "common/recordfile.h"

#include <QDir>
#include <QSettings>

using namespace Qt::Literals::StringLiterals;

QHash<QString, QString> loadShortcuts()
{
    QHash<QString, QString> shortcuts;

    // Fixed under the home folder, whatever XDG_CONFIG_HOME says.
    const QString path = QDir::homePath() + u"/.config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf"_s;
    // QSettings would block on a FIFO and read any size; a real file is small.
    qint64 size = 0;
    if (!isRegularFile(path, nullptr, &size) || size > maxRecordFileSize) {
        return shortcuts;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(u"Shortcut"_s);

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
