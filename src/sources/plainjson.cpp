#include "plainjson.h"

namespace
{
void skipSpace(QByteArrayView json, qsizetype *pos)
{
    while (*pos < json.size() && (json[*pos] == ' ' || json[*pos] == '\n' || json[*pos] == '\t' || json[*pos] == '\r')) {
        ++*pos;
    }
}

bool take(QByteArrayView json, qsizetype *pos, char c)
{
    if (*pos >= json.size() || json[*pos] != c) {
        return false;
    }
    ++*pos;
    return true;
}

// A string of printable ASCII; a backslash (an escape) is refused.
bool scanString(QByteArrayView json, qsizetype *pos, QByteArrayView *text)
{
    if (!take(json, pos, '"')) {
        return false;
    }
    const qsizetype begin = *pos;
    for (; *pos < json.size(); ++*pos) {
        const uchar c = uchar(json[*pos]);
        if (c == '"') {
            *text = json.sliced(begin, *pos - begin);
            ++*pos;
            return true;
        }
        if (c < 0x20 || c > 0x7e || c == '\\') {
            return false;
        }
    }
    return false;
}
} // namespace

bool readPlainJsonObject(QByteArrayView json, PlainJsonMembers *members)
{
    members->clear();
    qsizetype pos = 0;
    skipSpace(json, &pos);
    if (!take(json, &pos, '{')) {
        return false;
    }
    skipSpace(json, &pos);
    if (!take(json, &pos, '}')) {
        for (;;) {
            QByteArrayView name;
            QByteArrayView value;
            if (!scanString(json, &pos, &name)) {
                return false;
            }
            skipSpace(json, &pos);
            if (!take(json, &pos, ':')) {
                return false;
            }
            skipSpace(json, &pos);
            if (!scanString(json, &pos, &value)) {
                return false;
            }
            for (const auto &member : std::as_const(*members)) {
                if (member.first == name) {
                    return false;
                }
            }
            members->append({name, value});
            skipSpace(json, &pos);
            if (take(json, &pos, '}')) {
                break;
            }
            if (!take(json, &pos, ',')) {
                return false;
            }
            skipSpace(json, &pos);
        }
    }
    skipSpace(json, &pos);
    return pos == json.size();
}
