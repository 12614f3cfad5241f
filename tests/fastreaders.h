#pragma once

// The fast readers of the IDEs' files against Qt's own: what a fast reader
// takes, it must read exactly as Qt's reader does. Used by their tests and by
// the fuzz targets.

#include "sources/plainjson.h"
#include "sources/simplexml.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QXmlStreamReader>

namespace FastReaders
{
using namespace Qt::Literals::StringLiterals;

// The tags of a document as QXmlStreamReader reads them: <name a="v"> with
// the attributes in document order, </name>; *complete tells whether it read
// to the end without an error.
inline QStringList readerTags(const QByteArray &xml, bool *complete)
{
    QStringList tags;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            QString tag = u'<' + reader.qualifiedName().toString();
            for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                tag += u' ' + attribute.qualifiedName().toString() + u"=\""_s + attribute.value().toString() + u'"';
            }
            tags.append(tag + u'>');
        } else if (token == QXmlStreamReader::EndElement) {
            tags.append(u"</"_s + reader.qualifiedName().toString() + u'>');
        }
    }
    *complete = !reader.hasError();
    return tags;
}

// The same from a document that SimpleXml took.
inline QStringList simpleTags(const SimpleXml &simple)
{
    QStringList tags;
    for (const SimpleXml::Element &element : simple.elements()) {
        if (!element.start) {
            tags.append(u"</"_s + QString::fromUtf8(element.name) + u'>');
            continue;
        }
        QString tag = u'<' + QString::fromUtf8(element.name);
        for (qsizetype i = 0; i < element.attributeCount; ++i) {
            tag += u' ' + QString::fromUtf8(simple.attributeName(element, i)) + u"=\""_s + simple.attributeValue(element, i) + u'"';
        }
        tags.append(tag + u'>');
    }
    return tags;
}

// Whether SimpleXml takes xml; when it does, it must read what
// QXmlStreamReader reads, and QXmlStreamReader must find no fault.
inline bool simpleXmlReadsAlike(const QByteArray &xml)
{
    SimpleXml simple;
    if (!simple.scan(xml)) {
        return false;
    }
    bool complete = false;
    const QStringList expected = readerTags(xml, &complete);
    const QStringList tags = simpleTags(simple);
    if (!complete || tags != expected) {
        qWarning().noquote() << "taken differently:" << xml.toPercentEncoding(" <>/=\"&;\n");
        qWarning() << tags << expected << complete;
        return false;
    }
    return true;
}

// Whether readPlainJsonObject takes json; when it does, QJsonDocument must
// read it without an error as an object of the same members, all strings.
inline bool plainJsonReadsAlike(const QByteArray &json)
{
    PlainJsonMembers members;
    if (!readPlainJsonObject(json, &members)) {
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    bool same = error.error == QJsonParseError::NoError && document.isObject() && document.object().size() == members.size();
    for (const auto &[name, value] : std::as_const(members)) {
        const QJsonValue expected = document.object().value(QString::fromLatin1(name));
        same = same && expected.isString() && expected.toString() == QString::fromLatin1(value);
    }
    if (!same) {
        qWarning() << "taken differently:" << json << error.errorString();
    }
    return same;
}

} // namespace FastReaders
