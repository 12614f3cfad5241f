#pragma once

#include <QByteArrayView>
#include <QVarLengthArray>

#include <utility>

// The members of a JSON object, name and value, in document order; the few
// of a small file need no allocation.
using PlainJsonMembers = QVarLengthArray<std::pair<QByteArrayView, QByteArrayView>, 4>;

// A fast reading of a JSON object whose members all hold strings of
// printable ASCII without escapes, as the editors write their small files
// (workspace.json). True when json is wholly such an object, and then
// QJsonDocument reads the same members from it without an error; false for
// any other text (other values, escapes, letters beyond ASCII, repeated
// names, faults of any kind), which is left to QJsonDocument.
bool readPlainJsonObject(QByteArrayView json, PlainJsonMembers *members);
