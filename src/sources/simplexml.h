#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// A fast reading of XML as the IDEs write their option files: elements whose
// attributes are in double quotes, white space between them, and nothing
// else. scan() takes a document only when all of it is of that kind and well
// formed, so that QXmlStreamReader reads the same elements and attributes
// from it without an error. Every other document (comments, declarations,
// text, character references, other encodings, faults of any kind) is
// refused and left to QXmlStreamReader, which knows all of XML but takes
// twenty times as long.
class SimpleXml
{
public:
    // A start tag, or an end tag; an empty-element tag gives both.
    struct Element {
        bool start;
        QByteArrayView name;
        qsizetype firstAttribute;
        qsizetype attributeCount;
    };

    bool scan(QByteArrayView xml);

    // The elements in document order, once scan() has taken the document.
    const QList<Element> &elements() const
    {
        return m_elements;
    }

    // The value of an attribute of a start tag, entities replaced; a null
    // string when the tag has no such attribute.
    QString attribute(const Element &element, QByteArrayView name) const;

    // The attributes of a start tag one by one, in document order, index
    // below element.attributeCount.
    QByteArrayView attributeName(const Element &element, qsizetype index) const;
    QString attributeValue(const Element &element, qsizetype index) const;

private:
    struct Attribute {
        QByteArrayView name;
        QByteArrayView value;
        bool hasEntities;
    };

    bool scanStartTag(QByteArrayView xml, qsizetype *pos, bool *empty);

    QList<Element> m_elements;
    QList<Attribute> m_attributes;
};
