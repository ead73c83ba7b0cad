// PlistWriter: writes an XML property list (format version 1.0, UTF-8) to a device,
// value by value, through QXmlStreamWriter.
//
// Reals are written in their shortest decimal form that reads back bit for bit
// ("nan", "+infinity", "-infinity" for the special values), 64-bit integers in
// decimal, data as base64. A carriage return inside a string is written as the
// character reference "&#13;", because XML readers turn a raw CR into LF.
// Strings must be property-list safe (see PlistFile::isPropertyListSafe); a string
// that XML cannot carry puts the writer into its error state.
//
// Thread-safety: none; one writer is used by one thread at a time.
#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamWriter>

class QIODevice;

namespace trevalin {

class PlistWriter {
public:
    explicit PlistWriter(QIODevice* device);

    // The XML declaration, the property-list DOCTYPE and the opening <plist> element.
    void beginDocument();
    // Closes <plist> and the document.
    void endDocument();

    void beginDict();
    void endDict();
    // The <key> of the next dictionary entry.
    void key(const QString& key);
    void beginArray();
    void endArray();

    void string(const QString& text);
    void integer(quint64 value);
    void integer(qint64 value);
    void real(double value);
    void boolean(bool value);
    void data(const QByteArray& bytes);

    // True when the device refused a write or a string held a character XML cannot carry.
    bool hasError() const { return m_xml.hasError(); }

    // The text form of a real as written here.
    static QString realText(double value);

private:
    void characters(const QString& text);

    QXmlStreamWriter m_xml;
};

} // namespace trevalin
