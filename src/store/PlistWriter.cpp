#include "store/PlistWriter.h"

#include <QIODevice>
#include <QLocale>

#include <charconv>
#include <cmath>

namespace trevalin {

namespace {

constexpr qsizetype kBufferSize = 1 << 20;

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
    m_buffer.clear();
    return !m_error;
}

void PlistWriter::maybeFlush() {
    if (m_buffer.size() >= kBufferSize)
        flush();
}

void PlistWriter::raw(const char* text, qsizetype size) {
    m_buffer.append(text, size);
}

// Appends `text` as UTF-8 with the XML escapes. Scans runs of plain characters and
// converts each run at once.
void PlistWriter::escaped(QStringView text) {
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            m_buffer.append(text.mid(runStart, end - runStart).toUtf8());
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c != u'&' && c != u'<' && c != u'>' && (c < 0xD800 || c > 0xDFFF) && c < 0xFFFE)
            continue;
        const char* replacement = nullptr;
        switch (c) {
        case u'&':
            replacement = "&amp;";
            break;
        case u'<':
            replacement = "&lt;";
            break;
        case u'>':
            replacement = "&gt;";
            break;
        case u'\r':
            replacement = "&#13;";
            break;
        case u'\t':
        case u'\n':
            continue;
        default:
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
                ++i;
                continue;
            }
            m_error = true; // no XML can carry this character
            return;
        }
        flushRun(i);
        m_buffer.append(replacement);
        runStart = i + 1;
    }
    flushRun(n);
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
