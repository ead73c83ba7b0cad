#include "store/LocationCoding.h"

#include "store/PlistReader.h"
#include "store/PlistWriter.h"

#include <QUrl>

namespace trevalin {

namespace {

// The two parts of a keyed URL.
struct UrlParts {
    QString relative;
    QUrl base;
};

QUrl toUrl(const UrlParts& parts);

UrlParts decodeParts(PlistReader& reader) {
    if (reader.peekType() != PlistReader::Type::Dict)
        reader.fail(QStringLiteral("Expected to decode a URL dictionary but found %1 instead")
                        .arg(reader.peekName()));
    reader.beginDict();
    QString key;
    UrlParts parts;
    bool hasRelative = false;
    while (reader.nextKey(key)) {
        if (key == QLatin1StringView("relative")) {
            parts.relative = reader.readString();
            hasRelative = true;
        } else if (key == QLatin1StringView("base")) {
            // The base is itself a URL in keyed form.
            parts.base = reader.peekType() == PlistReader::Type::Dict
                             ? toUrl(decodeParts(reader))
                             : QUrl(reader.readString(), QUrl::StrictMode);
        } else {
            reader.skipValue();
        }
    }
    if (!hasRelative)
        reader.fail(QStringLiteral("No value associated with key \"relative\""));
    return parts;
}

QUrl toUrl(const UrlParts& parts) {
    if (parts.base.isEmpty())
        return parts.relative.startsWith(u'/') ? QUrl::fromLocalFile(parts.relative)
                                               : QUrl(parts.relative, QUrl::StrictMode);
    return parts.base.resolved(QUrl(parts.relative, QUrl::StrictMode));
}

} // namespace

void LocationCoding::encode(PlistWriter& writer, const Location& location) {
    encodeUrlText(writer, location.urlText());
}

void LocationCoding::encodeUrlText(PlistWriter& writer, const QString& urlText) {
    writer.beginDict();
    writer.key(QLatin1StringView("relative"));
    writer.string(urlText);
    writer.endDict();
}

Location LocationCoding::decode(PlistReader& reader) {
    const UrlParts parts = decodeParts(reader);
    // Most stored URLs are plain "file:///path" texts without escapes: taken directly,
    // they skip a full URL parse (a large database holds two per record).
    static const QString plainPrefix = QStringLiteral("file:///");
    if (parts.base.isEmpty() && parts.relative.startsWith(plainPrefix) && !parts.relative.contains(u'%') &&
        !parts.relative.contains(u'?') && !parts.relative.contains(u'#'))
        return Location(parts.relative.mid(plainPrefix.size() - 1));
    const QUrl url = toUrl(parts);
    const Location location = Location::fromUrl(url);
    if (location.isEmpty())
        reader.fail(QStringLiteral("Invalid file URL: ") + url.toString());
    return location;
}

QString LocationCoding::uuidText(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

void LocationCoding::writeUuid(PlistWriter& writer, const QUuid& uuid) {
    static constexpr char hex[] = "0123456789ABCDEF";
    char text[36];
    char* out = text;
    auto put = [&out](quint64 value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            *out++ = hex[(value >> shift) & 0xF];
    };
    put(uuid.data1, 8);
    *out++ = '-';
    put(uuid.data2, 4);
    *out++ = '-';
    put(uuid.data3, 4);
    *out++ = '-';
    put(uuid.data4[0], 2);
    put(uuid.data4[1], 2);
    *out++ = '-';
    for (int i = 2; i < 8; ++i)
        put(uuid.data4[i], 2);
    writer.plainString(QLatin1StringView(text, 36));
}

QUuid LocationCoding::uuidFromText(PlistReader& reader, const QString& text) {
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QLatin1StringView("00000000-0000-0000-0000-000000000000"))
        reader.fail(QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    return uuid;
}

} // namespace trevalin
