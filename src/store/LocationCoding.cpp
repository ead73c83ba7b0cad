#include "store/LocationCoding.h"

#include "store/PlistReader.h"
#include "store/PlistWriter.h"

#include <QUrl>

namespace trevalin {

namespace {

// The URL of a keyed URL, resolved against its base when it has one.
QUrl decodeUrl(PlistReader& reader) {
    if (reader.peekType() != PlistReader::Type::Dict)
        reader.fail(QStringLiteral("Expected to decode a URL dictionary but found %1 instead")
                        .arg(reader.peekName()));
    reader.beginDict();
    QString key;
    QString relative;
    QUrl base;
    bool hasRelative = false;
    while (reader.nextKey(key)) {
        if (key == QLatin1StringView("relative")) {
            relative = reader.readString();
            hasRelative = true;
        } else if (key == QLatin1StringView("base")) {
            // The base is itself a URL in keyed form.
            base = reader.peekType() == PlistReader::Type::Dict ? decodeUrl(reader)
                                                                : QUrl(reader.readString(), QUrl::StrictMode);
        } else {
            reader.skipValue();
        }
    }
    if (!hasRelative)
        reader.fail(QStringLiteral("No value associated with key \"relative\""));
    if (base.isEmpty())
        return relative.startsWith(u'/') ? QUrl::fromLocalFile(relative) : QUrl(relative, QUrl::StrictMode);
    return base.resolved(QUrl(relative, QUrl::StrictMode));
}

} // namespace

void LocationCoding::encode(PlistWriter& writer, const Location& location) {
    writer.beginDict();
    writer.key(QStringLiteral("relative"));
    writer.string(location.urlText());
    writer.endDict();
}

Location LocationCoding::decode(PlistReader& reader) {
    const QUrl url = decodeUrl(reader);
    const Location location = Location::fromUrl(url);
    if (location.isEmpty())
        reader.fail(QStringLiteral("Invalid file URL: ") + url.toString());
    return location;
}

QString LocationCoding::uuidText(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

QUuid LocationCoding::uuidFromText(PlistReader& reader, const QString& text) {
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QLatin1StringView("00000000-0000-0000-0000-000000000000"))
        reader.fail(QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    return uuid;
}

} // namespace trevalin
