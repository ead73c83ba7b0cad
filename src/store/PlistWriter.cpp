#include "store/PlistWriter.h"

#include <QIODevice>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstring>

namespace trevalin {

namespace {

constexpr qsizetype kBufferSize = 1 << 20;

// Printable ASCII without the characters XML escapes.
[[maybe_unused]] bool isPlain(QLatin1StringView text) {
    for (char c : text)
        if (c < 0x20 || c > 0x7E || c == '&' || c == '<' || c == '>')
            return false;
    return true;
}

} // namespace

PlistWriter::PlistWriter(QIODevice* device)
    : m_device(device) {
    m_buffer.resize(kBufferSize + 4096);
}

PlistWriter::~PlistWriter() {
    flush();
}

bool PlistWriter::flush() {
    if (m_used == 0)
        return !m_error;
    if (!m_error && m_device->write(m_buffer.constData(), m_used) != m_used)
        m_error = true;
    m_used = 0;
    return !m_error;
}

void PlistWriter::maybeFlush() {
    if (m_used >= kBufferSize)
        flush();
}

char* PlistWriter::room(qsizetype size) {
    if (m_used + size > m_buffer.size()) {
        flush();
        if (size > m_buffer.size())
            m_buffer.resize(size);
    }
    return m_buffer.data() + m_used;
}

void PlistWriter::raw(const char* text, qsizetype size) {
    std::memcpy(room(size), text, std::size_t(size));
    m_used += size;
}

// Appends `text` as UTF-8 with the XML escapes, encoded straight into the buffer.
void PlistWriter::escaped(QStringView text) {
    const qsizetype n = text.size();
    // At most 5 bytes per UTF-16 unit ("&amp;", "&#13;"; UTF-8 needs at most 3).
    char* const base = room(5 * n);
    char* out = base;
    const char16_t* in = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80) {
            if (c >= 0x20 && c != u'&' && c != u'<' && c != u'>') {
                *out++ = char(c);
                continue;
            }
            switch (c) {
            case u'&':
                std::memcpy(out, "&amp;", 5);
                out += 5;
                break;
            case u'<':
                std::memcpy(out, "&lt;", 4);
                out += 4;
                break;
            case u'>':
                std::memcpy(out, "&gt;", 4);
                out += 4;
                break;
            case u'\r':
                std::memcpy(out, "&#13;", 5);
                out += 5;
                break;
            case u'\t':
            case u'\n':
                *out++ = char(c);
                break;
            default:
                m_error = true; // no XML can carry this character
                return;
            }
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            if (!QChar::isHighSurrogate(c) || i + 1 >= n || !QChar::isLowSurrogate(in[i + 1])) {
                m_error = true;
                return;
            }
            const char32_t u = QChar::surrogateToUcs4(c, in[++i]);
            *out++ = char(0xF0 | (u >> 18));
            *out++ = char(0x80 | ((u >> 12) & 0x3F));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        } else if (c >= 0xFFFE) {
            m_error = true;
            return;
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    m_used += out - base;
}

void PlistWriter::beginDocument() {
    raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">");
}

void PlistWriter::endDocument() {
    raw("</plist>\n");
    flush();
}

void PlistWriter::beginDict() {
    raw("<dict>");
}

void PlistWriter::endDict() {
    raw("</dict>");
    maybeFlush();
}

void PlistWriter::key(QStringView key) {
    raw("<key>");
    escaped(key);
    raw("</key>");
}

void PlistWriter::key(QLatin1StringView key) {
    Q_ASSERT(isPlain(key));
    raw("<key>");
    raw(key.data(), key.size());
    raw("</key>");
}

void PlistWriter::beginArray() {
    raw("<array>");
}

void PlistWriter::endArray() {
    raw("</array>");
    maybeFlush();
}

void PlistWriter::string(QStringView text) {
    raw("<string>");
    escaped(text);
    raw("</string>");
    maybeFlush();
}

void PlistWriter::plainString(QLatin1StringView text) {
    Q_ASSERT(isPlain(text));
    raw("<string>");
    raw(text.data(), text.size());
    raw("</string>");
    maybeFlush();
}

void PlistWriter::integer(quint64 value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    raw("<integer>");
    raw(digits, result.ptr - digits);
    raw("</integer>");
}

void PlistWriter::integer(qint64 value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    raw("<integer>");
    raw(digits, result.ptr - digits);
    raw("</integer>");
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
    raw("<real>");
    if (std::isfinite(value) && value != 0) {
        // Shortest form that reads back bit for bit.
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        raw(digits, result.ptr - digits);
    } else {
        const QByteArray text = realText(value).toLatin1();
        raw(text.constData(), text.size());
    }
    raw("</real>");
}

void PlistWriter::boolean(bool value) {
    if (value)
        raw("<true/>");
    else
        raw("<false/>");
}

void PlistWriter::data(const QByteArray& bytes) {
    raw("<data>");
    const QByteArray encoded = bytes.toBase64();
    raw(encoded.constData(), encoded.size());
    raw("</data>");
    maybeFlush();
}

void PlistWriter::newline() {
    raw("\n");
}

} // namespace trevalin
