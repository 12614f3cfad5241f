// The Search and Stop requests on arbitrary text, over fixed sources.

#include "fakeservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzzing::setUp();
    static FakeService service;

    const QString json = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(service.orlek.stop(json));

    const QString answer = service.orlek.search(json);
    if (answer.isEmpty()) {
        return 0;
    }

    // An answer is the result document for the request's id, with at most
    // 100 numbered items, each one of the sources' entries.
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(answer.toUtf8(), &error).object();
    FUZZ_CHECK(error.error == QJsonParseError::NoError);
    FUZZ_CHECK(document.value(QStringLiteral("ver")).toString() == QStringLiteral("1.0"));
    const QString mID = document.value(QStringLiteral("mID")).toString();
    FUZZ_CHECK(!mID.isEmpty());
    FUZZ_CHECK(mID == QJsonDocument::fromJson(json.toUtf8()).object().value(QStringLiteral("mID")).toString());

    int count = 0;
    const QJsonArray groups = document.value(QStringLiteral("cont")).toArray();
    for (const QJsonValue &group : groups) {
        FUZZ_CHECK(!group[QStringLiteral("group")].toString().isEmpty());
        const QJsonArray items = group[QStringLiteral("items")].toArray();
        FUZZ_CHECK(!items.isEmpty());
        for (const QJsonValue &item : items) {
            const QString id = item[QStringLiteral("item")].toString();
            FUZZ_CHECK(id.size() > 4 && id.at(3) == QLatin1Char('|'));
            FUZZ_CHECK(service.known.contains(id.mid(4)));
            ++count;
        }
    }
    FUZZ_CHECK(count <= 100);
    return 0;
}
