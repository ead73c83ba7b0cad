// PlistReader: a pull reader over an XML property list (format version 1.0), built on
// QXmlStreamReader. The caller walks the document value by value: dictionaries are
// read as a sequence of keys (in whatever order the file holds them), arrays as a
// sequence of values; white space, comments and the DOCTYPE are ignored.
//
// Every failure (malformed XML, a value of another type than asked for, text that
// does not parse as the asked-for number) throws PlistError with the line and column.
//
// Thread-safety: none; one reader is used by one thread at a time.
#pragma once

#include "store/PlistError.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <type_traits>
#include <utility>

class QIODevice;

namespace trevalin {

class PlistReader {
public:
    enum class Type { Dict, Array, String, Integer, Real, Boolean, Data, Date, Unknown };

    // The reader keeps a reference to `document`; it must outlive the reader.
    explicit PlistReader(const QByteArray& document);
    // Reads from `device` in blocks, so a large file is never held whole in memory.
    explicit PlistReader(QIODevice* device);

    // Moves onto the root value (inside <plist>).
    void beginDocument();
    // Checks that nothing but the end of <plist> follows the root value.
    void endDocument();

    // The type of the value the reader stands on.
    Type peekType() const;
    // The element name of the value the reader stands on (for messages).
    QString peekName() const;

    // Enters a <dict>. Then call nextKey() until it returns false.
    void beginDict();
    // Reads the next key and moves onto its value; false (and leaves the dictionary)
    // at its end.
    bool nextKey(QString& key);
    // Enters an <array>. Then call hasNext() before each element.
    void beginArray();
    // True when another element follows; false (and leaves the array) at its end.
    bool hasNext();

    QString readString();
    quint64 readUnsigned();
    qint64 readSigned();
    double readReal();
    bool readBoolean();
    QByteArray readData();
    // Skips the value the reader stands on, whatever its type.
    void skipValue();

    // Reads a whole document whose root is a dictionary and returns the value under
    // `key`. Every root value is decoded with `decodeValue(*this)`, so a malformed one
    // fails the document even when it is not the one asked for. Throws PlistError when
    // the root is not a dictionary or holds no `key`.
    template <typename DecodeValue>
    std::invoke_result_t<DecodeValue&, PlistReader&> readRootValue(QLatin1StringView key,
                                                                   DecodeValue decodeValue);

    // "line L, column C" of the current position.
    QString position() const;
    [[noreturn]] void fail(const QString& message) const;

private:
    void advance();
    void expect(QLatin1StringView name) const;
    QString elementText();
    void textInto(QString& out);

    QXmlStreamReader m_xml;
    QString m_scratch; // reused text buffer for numbers and booleans
};

template <typename DecodeValue>
std::invoke_result_t<DecodeValue&, PlistReader&> PlistReader::readRootValue(QLatin1StringView key,
                                                                            DecodeValue decodeValue) {
    beginDocument();
    if (peekType() != Type::Dict)
        fail(QStringLiteral("Expected to decode a dictionary but found %1 instead").arg(peekName()));
    beginDict();
    std::invoke_result_t<DecodeValue&, PlistReader&> result;
    bool found = false;
    QString name;
    while (nextKey(name)) {
        auto value = decodeValue(*this);
        if (name == key) {
            result = std::move(value);
            found = true;
        }
    }
    endDocument();
    if (!found)
        throw PlistError(QStringLiteral("No value associated with key \"%1\"").arg(key));
    return result;
}

} // namespace trevalin
