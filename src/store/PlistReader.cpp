#include "store/PlistReader.h"

#include "store/PlistError.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace trevalin {

PlistReader::PlistReader(const QByteArray& document)
    : m_xml(document) {}

PlistReader::PlistReader(QIODevice* device)
    : m_xml(device) {}

QString PlistReader::position() const {
    return QStringLiteral("line %1, column %2").arg(m_xml.lineNumber()).arg(m_xml.columnNumber());
}

void PlistReader::fail(const QString& message) const {
    throw PlistError(message + QStringLiteral(" (") + position() + u')');
}

// Moves to the next start or end element; text between elements must be white space.
void PlistReader::advance() {
    for (;;) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement:
        case QXmlStreamReader::EndElement:
        case QXmlStreamReader::EndDocument:
            return;
        case QXmlStreamReader::Characters:
            if (!m_xml.isWhitespace())
                fail(QStringLiteral("Unexpected text in property list"));
            break;
        case QXmlStreamReader::Invalid:
            fail(QStringLiteral("The data is not a valid property list: ") + m_xml.errorString());
        default:
            break; // declaration, DOCTYPE, comments, processing instructions
        }
    }
}

void PlistReader::beginDocument() {
    advance();
    if (!m_xml.isStartElement() || m_xml.name() != QLatin1StringView("plist"))
        fail(QStringLiteral("The data is not a property list"));
    advance();
    if (!m_xml.isStartElement())
        fail(QStringLiteral("The property list holds no value"));
}

void PlistReader::endDocument() {
    if (!m_xml.isEndElement() || m_xml.name() != QLatin1StringView("plist"))
        fail(QStringLiteral("Unexpected content after the root value"));
    advance();
    if (!m_xml.atEnd() && m_xml.tokenType() != QXmlStreamReader::EndDocument)
        fail(QStringLiteral("Unexpected content after the property list"));
}

PlistReader::Type PlistReader::peekType() const {
    if (!m_xml.isStartElement())
        return Type::Unknown;
    const QStringView name = m_xml.name();
    if (name == QLatin1StringView("dict"))
        return Type::Dict;
    if (name == QLatin1StringView("array"))
        return Type::Array;
    if (name == QLatin1StringView("string"))
        return Type::String;
    if (name == QLatin1StringView("integer"))
        return Type::Integer;
    if (name == QLatin1StringView("real"))
        return Type::Real;
    if (name == QLatin1StringView("true") || name == QLatin1StringView("false"))
        return Type::Boolean;
    if (name == QLatin1StringView("data"))
        return Type::Data;
    if (name == QLatin1StringView("date"))
        return Type::Date;
    return Type::Unknown;
}

QString PlistReader::peekName() const {
    if (m_xml.isStartElement())
        return m_xml.name().toString();
    if (m_xml.isEndElement())
        return QStringLiteral("end of ") + m_xml.name().toString();
    return QStringLiteral("end of document");
}

void PlistReader::expect(QLatin1StringView name) const {
    if (!m_xml.isStartElement() || m_xml.name() != name)
        fail(QStringLiteral("Expected to decode %1 but found %2 instead").arg(name, peekName()));
}

// Reads the text of the current element into `out` (reusing its capacity) and moves
// past the element.
void PlistReader::textInto(QString& out) {
    out.resize(0);
    for (;;) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            out.append(m_xml.text());
            break;
        case QXmlStreamReader::EndElement:
            advance();
            return;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            break;
        case QXmlStreamReader::StartElement:
            fail(QStringLiteral("Unexpected element inside a text value"));
        case QXmlStreamReader::Invalid:
            fail(QStringLiteral("The data is not a valid property list: ") + m_xml.errorString());
        default:
            fail(QStringLiteral("Unexpected end of data"));
        }
    }
}

QString PlistReader::elementText() {
    QString text;
    textInto(text);
    return text;
}

void PlistReader::beginDict() {
    expect(QLatin1StringView("dict"));
    advance();
}

bool PlistReader::nextKey(QString& key) {
    if (m_xml.isEndElement()) {
        if (m_xml.name() != QLatin1StringView("dict"))
            fail(QStringLiteral("Unbalanced dictionary"));
        advance();
        return false;
    }
    expect(QLatin1StringView("key"));
    textInto(key);
    if (!m_xml.isStartElement())
        fail(QStringLiteral("Dictionary key \"%1\" has no value").arg(key));
    return true;
}

void PlistReader::beginArray() {
    expect(QLatin1StringView("array"));
    advance();
}

bool PlistReader::hasNext() {
    if (m_xml.isEndElement()) {
        if (m_xml.name() != QLatin1StringView("array"))
            fail(QStringLiteral("Unbalanced array"));
        advance();
        return false;
    }
    if (!m_xml.isStartElement())
        fail(QStringLiteral("Unexpected end of data inside an array"));
    return true;
}

QString PlistReader::readString() {
    expect(QLatin1StringView("string"));
    return elementText();
}

quint64 PlistReader::readUnsigned() {
    expect(QLatin1StringView("integer"));
    textInto(m_scratch);
    const QStringView text = QStringView(m_scratch).trimmed();
    bool ok = false;
    const quint64 value = text.startsWith(QLatin1StringView("0x"), Qt::CaseInsensitive)
                              ? text.mid(2).toULongLong(&ok, 16)
                              : (text.startsWith(u'-') ? 0 : text.toULongLong(&ok, 10));
    if (!ok)
        fail(QStringLiteral("Parsed property list number <%1> does not fit in UInt64").arg(text));
    return value;
}

qint64 PlistReader::readSigned() {
    expect(QLatin1StringView("integer"));
    textInto(m_scratch);
    const QStringView text = QStringView(m_scratch).trimmed();
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        fail(QStringLiteral("Parsed property list number <%1> does not fit in Int64").arg(text));
    return value;
}

double PlistReader::readReal() {
    const Type type = peekType();
    if (type != Type::Real && type != Type::Integer)
        expect(QLatin1StringView("real"));
    textInto(m_scratch);
    const QStringView text = QStringView(m_scratch).trimmed();
    // from_chars on the ASCII text: locale-independent, exact, keeps the sign of zero.
    char ascii[64];
    qsizetype length = 0;
    for (QChar c : text) {
        if (c.unicode() > 0x7F || length == qsizetype(sizeof ascii))
            fail(QStringLiteral("Parsed property list number <%1> is not a valid real").arg(text));
        ascii[length++] = char(c.unicode());
    }
    const char* begin = ascii;
    const char* end = ascii + length;
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (length > 0 && ec == std::errc() && ptr == end)
        return value;
    const QString lower = text.toString().toLower();
    if (lower == QLatin1StringView("nan"))
        return std::numeric_limits<double>::quiet_NaN();
    if (lower == QLatin1StringView("+infinity") || lower == QLatin1StringView("infinity") ||
        lower == QLatin1StringView("inf") || lower == QLatin1StringView("+inf"))
        return std::numeric_limits<double>::infinity();
    if (lower == QLatin1StringView("-infinity") || lower == QLatin1StringView("-inf"))
        return -std::numeric_limits<double>::infinity();
    fail(QStringLiteral("Parsed property list number <%1> is not a valid real").arg(text));
}

bool PlistReader::readBoolean() {
    if (peekType() != Type::Boolean)
        expect(QLatin1StringView("true"));
    const bool value = m_xml.name() == QLatin1StringView("true");
    textInto(m_scratch);
    if (!m_scratch.isEmpty())
        fail(QStringLiteral("A boolean element holds text"));
    return value;
}

QByteArray PlistReader::readData() {
    expect(QLatin1StringView("data"));
    QByteArray encoded = elementText().toLatin1();
    // Line breaks and indentation inside <data> are normal; anything else is an error.
    encoded.replace(' ', "").replace('\t', "").replace('\n', "").replace('\r', "");
    const auto result = QByteArray::fromBase64Encoding(encoded, QByteArray::Base64Encoding |
                                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        fail(QStringLiteral("Invalid base64 in a data element"));
    return result.decoded;
}

void PlistReader::skipValue() {
    if (!m_xml.isStartElement())
        fail(QStringLiteral("No value to skip"));
    m_xml.skipCurrentElement();
    if (m_xml.hasError())
        fail(QStringLiteral("The data is not a valid property list: ") + m_xml.errorString());
    advance();
}

} // namespace trevalin
