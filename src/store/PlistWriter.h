// PlistWriter: writes an XML property list (format version 1.0, UTF-8) to a device,
// value by value. The XML text is produced here directly into a 1 MiB buffer that is
// handed to the device whenever it fills: a general XML writer spends most of a large
// database's save time on per-call bookkeeping that this fixed vocabulary does not need.
//
// Text is escaped as XML requires ("&", "<", ">"); a carriage return inside a string
// is written as the character reference "&#13;", because XML readers turn a raw CR
// into LF. Reals are written in their shortest decimal form that reads back bit for
// bit ("nan", "+infinity", "-infinity" for the special values), 64-bit integers in
// decimal, data as base64. A string holding a character XML cannot carry (a control
// character other than tab, LF, CR; an unpaired surrogate; U+FFFE, U+FFFF) is not
// written and puts the writer into its error state, as does a failed device write.
//
// Thread-safety: none; one writer is used by one thread at a time.
#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

class QIODevice;

namespace trevalin {

class PlistWriter {
public:
    explicit PlistWriter(QIODevice* device);
    // Flushes what is buffered.
    ~PlistWriter();
    PlistWriter(const PlistWriter&) = delete;
    PlistWriter& operator=(const PlistWriter&) = delete;

    // The XML declaration, the property-list DOCTYPE and the opening <plist> element.
    void beginDocument();
    // Closes <plist> and hands everything buffered to the device.
    void endDocument();

    void beginDict();
    void endDict();
    // The <key> of the next dictionary entry.
    void key(QStringView key);
    // A key of printable ASCII that needs no escaping, written as it is.
    void key(QLatin1StringView key);
    void beginArray();
    void endArray();

    void string(QStringView text);
    // A string of printable ASCII that needs no escaping (UUIDs, names of states),
    // written as it is.
    void plainString(QLatin1StringView text);
    void integer(quint64 value);
    void integer(qint64 value);
    void real(double value);
    void boolean(bool value);
    void data(const QByteArray& bytes);
    // A line break between values (ignored by readers); keeps large lists readable.
    void newline();

    // Hands the buffer to the device; false when the device refused it.
    bool flush();
    // True when the device refused a write or a string held a character XML cannot carry.
    bool hasError() const { return m_error; }

    // The text form of a real as written here.
    static QString realText(double value);

private:
    void raw(const char* text, qsizetype size);
    template <qsizetype N> void raw(const char (&text)[N]) { raw(text, N - 1); }
    void escaped(QStringView text);
    void maybeFlush();
    // Room for `size` more bytes at the end of the buffer (flushes or grows it).
    char* room(qsizetype size);

    QIODevice* m_device;
    QByteArray m_buffer; // storage; its first m_used bytes are pending
    qsizetype m_used = 0;
    bool m_error = false;
};

} // namespace trevalin
