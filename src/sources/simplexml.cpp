#include "simplexml.h"

#include <QByteArray>

#include <cstring>

namespace
{
// Carriage returns are left out: QXmlStreamReader would turn them into line feeds.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

bool skipSpace(QByteArrayView xml, qsizetype *pos)
{
    const qsizetype begin = *pos;
    while (*pos < xml.size() && isSpace(xml[*pos])) {
        ++*pos;
    }
    return *pos > begin;
}

// An ASCII name without a colon (no namespaces), or an empty view. Names that
// begin with "xml" in any case are reserved, xmlns among them, and refused.
QByteArrayView scanName(QByteArrayView xml, qsizetype *pos)
{
    const qsizetype begin = *pos;
    if (begin >= xml.size() || !isNameStart(xml[begin])) {
        return {};
    }
    qsizetype end = begin + 1;
    while (end < xml.size() && isNameChar(xml[end])) {
        ++end;
    }
    const QByteArrayView name = xml.sliced(begin, end - begin);
    if (name.size() >= 3 && qstrnicmp(name.data(), "xml", 3) == 0) {
        return {};
    }
    *pos = end;
    return name;
}

struct EntityReference {
    const char *text;
    char character;
};

// The five that XML predefines; character references are left to QXmlStreamReader.
constexpr EntityReference entityReferences[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

const EntityReference *entityReferenceAt(QByteArrayView text)
{
    for (const EntityReference &reference : entityReferences) {
        if (text.startsWith(reference.text)) {
            return &reference;
        }
    }
    return nullptr;
}

// The length of the UTF-8 sequence that text begins with, or 0 unless it is
// the shortest form of a character from U+00A0 on that XML allows and that is
// not a noncharacter. Control characters and the rest are left to
// QXmlStreamReader.
qsizetype utf8SequenceAt(QByteArrayView text)
{
    const uchar lead = uchar(text[0]);
    qsizetype length;
    char32_t c;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        c = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        c = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (qsizetype i = 1; i < length; ++i) {
        const uchar next = uchar(text[i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (next & 0x3f);
    }
    constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < shortest[length] || c < 0xa0 || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff) || (c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe) {
        return 0;
    }
    return length;
}
} // namespace

bool SimpleXml::scan(QByteArrayView xml)
{
    m_elements.clear();
    m_attributes.clear();
    // The IDEs' files hold a tag, and an attribute, for every 35 bytes or
    // so: room for one per 32 bytes spares the lists their regrowth.
    m_elements.reserve(xml.size() / 32);
    m_attributes.reserve(xml.size() / 32);
    QList<QByteArrayView> open;
    bool rootClosed = false;
    qsizetype pos = 0;
    while (pos < xml.size()) {
        if (isSpace(xml[pos])) {
            ++pos;
            continue;
        }
        // Text, and anything after the root element, is refused.
        if (xml[pos] != '<' || rootClosed) {
            return false;
        }
        ++pos;
        if (pos < xml.size() && xml[pos] == '/') {
            ++pos;
            const QByteArrayView name = scanName(xml, &pos);
            if (name.isEmpty() || open.isEmpty() || open.constLast() != name) {
                return false;
            }
            skipSpace(xml, &pos);
            if (pos >= xml.size() || xml[pos] != '>') {
                return false;
            }
            ++pos;
            open.removeLast();
            m_elements.append({false, name, 0, 0});
        } else {
            bool empty = false;
            if (!scanStartTag(xml, &pos, &empty)) {
                return false;
            }
            if (!empty) {
                open.append(m_elements.constLast().name);
            }
        }
        rootClosed = open.isEmpty();
    }
    return rootClosed;
}

// From just after the "<" to just after the ">" of a start tag or an
// empty-element tag.
bool SimpleXml::scanStartTag(QByteArrayView xml, qsizetype *pos, bool *empty)
{
    Element element{true, scanName(xml, pos), m_attributes.size(), 0};
    if (element.name.isEmpty()) {
        return false;
    }
    for (;;) {
        const bool spaced = skipSpace(xml, pos);
        if (*pos >= xml.size()) {
            return false;
        }
        if (xml[*pos] == '>') {
            ++*pos;
            *empty = false;
            break;
        }
        if (xml[*pos] == '/') {
            if (*pos + 1 >= xml.size() || xml[*pos + 1] != '>') {
                return false;
            }
            *pos += 2;
            *empty = true;
            break;
        }
        // Attributes are separated by white space.
        if (!spaced) {
            return false;
        }
        Attribute attribute{scanName(xml, pos), QByteArrayView(), false};
        if (attribute.name.isEmpty()) {
            return false;
        }
        skipSpace(xml, pos);
        if (*pos >= xml.size() || xml[*pos] != '=') {
            return false;
        }
        ++*pos;
        skipSpace(xml, pos);
        if (*pos >= xml.size() || xml[*pos] != '"') {
            return false;
        }
        ++*pos;
        const qsizetype begin = *pos;
        for (;;) {
            if (*pos >= xml.size()) {
                return false;
            }
            const uchar c = uchar(xml[*pos]);
            if (c == '"') {
                break;
            }
            if (c == '&') {
                const EntityReference *reference = entityReferenceAt(xml.sliced(*pos));
                if (!reference) {
                    return false;
                }
                attribute.hasEntities = true;
                *pos += qsizetype(std::strlen(reference->text));
            } else if (c < 0x80) {
                // White space other than blanks would be normalised to blanks.
                if (c < 0x20 || c == 0x7f || c == '<') {
                    return false;
                }
                ++*pos;
            } else {
                const qsizetype length = utf8SequenceAt(xml.sliced(*pos));
                if (length == 0) {
                    return false;
                }
                *pos += length;
            }
        }
        attribute.value = xml.sliced(begin, *pos - begin);
        ++*pos;
        for (qsizetype i = element.firstAttribute; i < m_attributes.size(); ++i) {
            if (m_attributes.at(i).name == attribute.name) {
                return false;
            }
        }
        m_attributes.append(attribute);
        ++element.attributeCount;
    }
    m_elements.append(element);
    if (*empty) {
        m_elements.append({false, element.name, 0, 0});
    }
    return true;
}

QString SimpleXml::attribute(const Element &element, QByteArrayView name) const
{
    for (qsizetype i = 0; i < element.attributeCount; ++i) {
        if (attributeName(element, i) == name) {
            return attributeValue(element, i);
        }
    }
    return QString();
}

QByteArrayView SimpleXml::attributeName(const Element &element, qsizetype index) const
{
    return m_attributes.at(element.firstAttribute + index).name;
}

QString SimpleXml::attributeValue(const Element &element, qsizetype index) const
{
    const Attribute &attribute = m_attributes.at(element.firstAttribute + index);
    if (!attribute.hasEntities) {
        return QString::fromUtf8(attribute.value);
    }
    QByteArray value;
    value.reserve(attribute.value.size());
    for (qsizetype pos = 0; pos < attribute.value.size();) {
        // scan() let only the five references through.
        const EntityReference *reference = attribute.value[pos] == '&' ? entityReferenceAt(attribute.value.sliced(pos)) : nullptr;
        if (reference) {
            value += reference->character;
            pos += qsizetype(std::strlen(reference->text));
        } else {
            value += attribute.value[pos];
            ++pos;
        }
    }
    return QString::fromUtf8(value);
}
