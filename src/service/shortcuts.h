#pragma once

#include <QHash>
#include <QString>

// The user's keyword shortcuts, word -> source id, from
// ~/.config/velari/vorn-sorvex-orlek/vorn-sorvex-orlek.conf ([Shortcut]).
// Read afresh on every call so edits apply to the next search.
QHash<QString, QString> loadShortcuts();
