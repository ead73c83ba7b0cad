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
    m_buffer.reserve(kBufferSize + 4096);
}

PlistWriter::~PlistWriter() {
    flush();
}

bool PlistWriter::flush() {
    if (m_buffer.isEmpty())
        return !m_error;
    if (!m_error && m_device->write(m_buffer) != m_buffer.size())
        m_error = true;
    m_buffer.resize(0); // keeps the capacity
    return !m_error;
}

void PlistWriter::maybeFlush() {
    if (m_buffer.size() >= kBufferSize)
        flush();
}

void PlistWriter::raw(const char* text, qsizetype size) {
    m_buffer.append(text, size);
}

// Appends `text` as UTF-8 with the XML escapes, encoded straight into the buffer.
void PlistWriter::escaped(QStringView text) {
    const qsizetype n = text.size();
    const qsizetype start = m_buffer.size();
    // At most 5 bytes per UTF-16 unit ("&amp;", "&#13;"; UTF-8 needs at most 3).
    m_buffer.resize(start + 5 * n);
    char* const base = m_buffer.data();
    char* out = base + start;
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
                m_buffer.resize(start);
                m_error = true; // no XML can carry this character
                return;
            }
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            if (!QChar::isHighSurrogate(c) || i + 1 >= n || !QChar::isLowSurrogate(in[i + 1])) {
                m_buffer.resize(start);
                m_error = true;
                return;
            }
            const char32_t u = QChar::surrogateToUcs4(c, in[++i]);
            *out++ = char(0xF0 | (u >> 18));
            *out++ = char(0x80 | ((u >> 12) & 0x3F));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        } else if (c >= 0xFFFE) {
            m_buffer.resize(start);
            m_error = true;
            return;
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    m_buffer.resize(out - base);
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
        m_buffer.append(realText(value).toLatin1());
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
    m_buffer.append(bytes.toBase64());
    raw("</data>");
    maybeFlush();
}

void PlistWriter::newline() {
    raw("\n");
}

} // namespace trevalin
