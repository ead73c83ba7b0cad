#include "store/PlistWriter.h"

#include <QIODevice>
#include <QLocale>

#include <cmath>

namespace trevalin {

PlistWriter::PlistWriter(QIODevice* device)
    : m_xml(device) {
    m_xml.setAutoFormatting(true);
    m_xml.setAutoFormattingIndent(-1); // one tab per level
}

void PlistWriter::beginDocument() {
    m_xml.writeStartDocument(QStringLiteral("1.0"));
    m_xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    m_xml.writeStartElement(QStringLiteral("plist"));
    m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
}

void PlistWriter::endDocument() {
    m_xml.writeEndElement();
    m_xml.writeEndDocument();
}

void PlistWriter::beginDict() {
    m_xml.writeStartElement(QStringLiteral("dict"));
}

void PlistWriter::endDict() {
    m_xml.writeEndElement();
}

void PlistWriter::key(const QString& key) {
    m_xml.writeStartElement(QStringLiteral("key"));
    characters(key);
    m_xml.writeEndElement();
}

void PlistWriter::beginArray() {
    m_xml.writeStartElement(QStringLiteral("array"));
}

void PlistWriter::endArray() {
    m_xml.writeEndElement();
}

void PlistWriter::string(const QString& text) {
    m_xml.writeStartElement(QStringLiteral("string"));
    characters(text);
    m_xml.writeEndElement();
}

void PlistWriter::characters(const QString& text) {
    // Writes the text with every CR as a character reference. An empty text still
    // writes an (empty) characters token so that the element is not self-closed.
    qsizetype start = 0;
    for (;;) {
        const qsizetype cr = text.indexOf(u'\r', start);
        if (cr < 0) {
            m_xml.writeCharacters(start == 0 ? text : text.mid(start));
            return;
        }
        if (cr > start)
            m_xml.writeCharacters(text.mid(start, cr - start));
        m_xml.writeEntityReference(QStringLiteral("#13"));
        start = cr + 1;
        if (start == text.size())
            return;
    }
}

void PlistWriter::integer(quint64 value) {
    m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value));
}

void PlistWriter::integer(qint64 value) {
    m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value));
}

QString PlistWriter::realText(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
    if (value == 0)
        return std::signbit(value) ? QStringLiteral("-0.0") : QStringLiteral("0.0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

void PlistWriter::real(double value) {
    m_xml.writeTextElement(QStringLiteral("real"), realText(value));
}

void PlistWriter::boolean(bool value) {
    m_xml.writeEmptyElement(value ? QStringLiteral("true") : QStringLiteral("false"));
}

void PlistWriter::data(const QByteArray& bytes) {
    m_xml.writeTextElement(QStringLiteral("data"), QString::fromLatin1(bytes.toBase64()));
}

} // namespace trevalin
