#include "store/DatabaseReader.h"

#include "model/FileObject.h"

#include <QIODevice>
#include <QUuid>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace trevalin {

namespace {

constexpr qsizetype kDefaultBlockSize = qsizetype(4) << 20;
qsizetype blockSize = kDefaultBlockSize; // changed by tests only
constexpr int kMaxDepth = 64;
// Enough bytes for any start tag ("<integer/>") plus a margin.
constexpr qsizetype kTagLookahead = 16;

// Thrown when the document is outside the handled subset or malformed.
struct Unsupported {};
// Thrown when the current step ran past the bytes read so far.
struct NeedMore {};

// Bytes that stand in text as they are: printable ASCII except '<', '&' and ']'.
struct PlainTable {
    bool plain[256] = {};
    constexpr PlainTable() {
        for (int c = 0x20; c < 0x7F; ++c)
            plain[c] = c != '<' && c != '&' && c != ']';
    }
};
constexpr PlainTable kPlain;

// Characters a URL text may hold as they are when it also holds percent escapes.
struct UrlTable {
    bool literal[256] = {};
    constexpr UrlTable() {
        for (int c = 'a'; c <= 'z'; ++c)
            literal[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c)
            literal[c] = true;
        for (int c = '0'; c <= '9'; ++c)
            literal[c] = true;
        for (const char* p = "!$&'()*+,-./:;=@[]_~"; *p; ++p)
            literal[int(*p)] = true;
    }
};
constexpr UrlTable kUrl;

enum class Tag { Dict, Array, Key, String, Integer, Real, True, False, Date, Data };

struct Element {
    Tag tag;
    bool empty; // written as <name/>
};

// A decoded text as UTF-8, either in the input or in the parser's scratch buffer.
struct Text {
    const char* data = "";
    qsizetype size = 0;
    bool ascii = true;

    bool equals(const char* literal, qsizetype n) const {
        return size == n && std::memcmp(data, literal, std::size_t(n)) == 0;
    }
    template <std::size_t N> bool operator==(const char (&literal)[N]) const {
        return equals(literal, qsizetype(N - 1));
    }
    QLatin1StringView latin1() const { return QLatin1StringView(data, size); }
    QString toString() const {
        return ascii ? QString::fromLatin1(data, size) : QString::fromUtf8(data, size);
    }
};

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Length of the valid UTF-8 sequence (a character XML allows) at `p`, at most `have`
// bytes available; 0 when invalid; -1 when the sequence continues past `have`.
int utf8Length(const unsigned char* p, qsizetype have, char32_t* decoded = nullptr) {
    const unsigned char b0 = p[0];
    int length;
    char32_t c;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (i >= have)
            return -1;
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE))
        return 0;
    if (length == 4 && (c < 0x10000 || c > 0x10FFFF))
        return 0;
    if (decoded)
        *decoded = c;
    return length;
}

// Whether a percent-decoded URL path holds only characters the general URL decoder
// passes through unchanged (it replaces non-characters).
bool plainDecodedPath(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = qsizetype(bytes.size());
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t c = 0;
        const int length = utf8Length(p + i, n - i, &c);
        if (length <= 0 || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE)
            return false;
        i += length;
    }
    return true;
}

// Parses an unsigned decimal integer as PlistReader::readUnsigned() does for the plain
// form (ASCII white space around decimal digits); anything else is left to it.
quint64 unsignedValue(const Text& text) {
    const char* begin = text.data;
    const char* end = text.data + text.size;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (begin != end && space(*begin))
        ++begin;
    while (end != begin && space(end[-1]))
        --end;
    if (begin == end)
        throw Unsupported{};
    for (const char* p = begin; p != end; ++p)
        if (*p < '0' || *p > '9')
            throw Unsupported{};
    quint64 value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        throw Unsupported{};
    return value;
}

// Parses a real as PlistReader::readReal() does when from_chars reads its text.
double realValue(const Text& text) {
    if (!text.ascii)
        throw Unsupported{};
    const char* begin = text.data;
    const char* end = text.data + text.size;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (begin != end && space(*begin))
        ++begin;
    while (end != begin && space(end[-1]))
        --end;
    if (begin == end || end - begin > 63)
        throw Unsupported{};
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        throw Unsupported{};
    return value;
}

QUuid uuidValue(const Text& text) {
    if (!text.ascii)
        throw Unsupported{};
    const QUuid uuid = QUuid::fromString(QLatin1StringView(text.data, text.size));
    if (uuid.isNull() && !(text == "00000000-0000-0000-0000-000000000000"))
        throw Unsupported{};
    return uuid;
}

// Calls `f` with a QStringView of an ASCII text without allocating.
template <typename F> auto withView(const Text& text, F f) {
    if (!text.ascii || text.size > 32)
        throw Unsupported{};
    char16_t buffer[32];
    for (qsizetype i = 0; i < text.size; ++i)
        buffer[i] = char16_t(static_cast<unsigned char>(text.data[i]));
    return f(QStringView(buffer, text.size));
}

// The location of a stored URL text, decoded as LocationCoding::decode() does.
Location locationFromUrl(const std::string& url) {
    const Text text{url.data(), qsizetype(url.size()), std::all_of(url.begin(), url.end(), [](char c) {
                        return static_cast<unsigned char>(c) < 0x80;
                    })};
    constexpr qsizetype prefix = 8; // "file:///"
    if (text.size < prefix || std::memcmp(text.data, "file:///", prefix) != 0)
        throw Unsupported{};
    const char* begin = text.data + prefix - 1;
    const char* end = text.data + text.size;
    if (std::find_if(begin, end, [](char c) { return c == '?' || c == '#'; }) != end)
        throw Unsupported{};
    if (std::find(begin, end, '%') == end)
        return Location(Text{begin, end - begin, text.ascii}.toString());
    // Percent escapes: only the plain form the URL decoder reads back unchanged.
    if (!text.ascii)
        throw Unsupported{};
    std::string bytes;
    bytes.reserve(std::size_t(end - begin));
    for (const char* p = begin; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '%') {
            if (end - p < 3)
                throw Unsupported{};
            const int high = hexValue(p[1]);
            const int low = hexValue(p[2]);
            if (high < 0 || low < 0)
                throw Unsupported{};
            bytes += char(high * 16 + low);
            p += 2;
        } else if (kUrl.literal[c]) {
            bytes += char(c);
        } else {
            throw Unsupported{};
        }
    }
    if (!plainDecodedPath(bytes))
        throw Unsupported{};
    return Location(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
}

class Parser {
public:
    explicit Parser(const QByteArray& document)
        : m_data(document.constData())
        , m_size(document.size())
        , m_eof(true) {}

    explicit Parser(QIODevice* device)
        : m_device(device) {
        m_buffer.resize(blockSize);
        m_data = m_buffer.constData();
    }

    DatabaseCodec::Map run();

private:
    // --- input ---------------------------------------------------------------------
    // Runs one restartable step from m_pos; reads more input and runs it again while
    // it needs more bytes. A step changes nothing outside its locals before it ends.
    template <typename F> void step(F f) {
        for (;;) {
            m_p = m_data + m_pos;
            m_end = m_data + m_size;
            try {
                f();
                m_pos = m_p - m_data;
                return;
            } catch (const NeedMore&) {
                refill();
            }
        }
    }

    void refill() {
        if (!m_device || m_eof)
            throw Unsupported{};
        char* data = m_buffer.data();
        if (m_pos > 0) {
            std::memmove(data, data + m_pos, std::size_t(m_size - m_pos));
            m_size -= m_pos;
            m_pos = 0;
        }
        if (m_size == m_buffer.size()) {
            m_buffer.resize(m_buffer.size() * 2); // one step longer than a block
            data = m_buffer.data();
        }
        const qint64 got = m_device->read(data + m_size, m_buffer.size() - m_size);
        if (got < 0)
            throw Unsupported{};
        if (got == 0)
            m_eof = true;
        m_size += qsizetype(got);
        m_data = data;
    }

    void need(qsizetype n) const {
        if (m_end - m_p < n) {
            if (m_eof)
                throw Unsupported{};
            throw NeedMore{};
        }
    }

    // Whether the input continues with `literal`.
    bool at(const char* literal, qsizetype n) const {
        const qsizetype have = m_end - m_p;
        if (have >= n)
            return std::memcmp(m_p, literal, std::size_t(n)) == 0;
        if (std::memcmp(m_p, literal, std::size_t(have)) != 0 || m_eof)
            return false;
        throw NeedMore{};
    }
    template <std::size_t N> bool at(const char (&literal)[N]) const { return at(literal, qsizetype(N - 1)); }
    template <std::size_t N> void expect(const char (&literal)[N]) {
        if (!at(literal))
            throw Unsupported{};
        m_p += N - 1;
    }

    // --- XML -----------------------------------------------------------------------
    static bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

    // Skips white space and comments between elements; something must follow.
    void skipMisc() {
        for (;;) {
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            need(1);
            if (*m_p == '<' && at("<!--")) {
                comment();
                continue;
            }
            return;
        }
    }

    void comment() {
        m_p += 4;
        for (;;) {
            need(1);
            const auto b = static_cast<unsigned char>(*m_p);
            if (b == '-') {
                need(2);
                if (m_p[1] == '-') {
                    need(3);
                    if (m_p[2] != '>')
                        throw Unsupported{};
                    m_p += 3;
                    return;
                }
                ++m_p;
            } else if (b >= 0x80) {
                utf8Char();
            } else if (b >= 0x20 ? b == 0x7F : !isSpace(char(b))) {
                throw Unsupported{};
            } else {
                ++m_p;
            }
        }
    }

    // Moves past one UTF-8 character at m_p.
    void utf8Char() {
        const int length = utf8Length(reinterpret_cast<const unsigned char*>(m_p), m_end - m_p);
        if (length == 0)
            throw Unsupported{};
        if (length < 0) {
            need(4);
            throw Unsupported{}; // more bytes were there: the sequence is invalid
        }
        m_p += length;
    }

    // The start tag at m_p.
    Element openElement() {
        if (m_end - m_p < kTagLookahead && !m_eof)
            throw NeedMore{};
        if (m_p >= m_end || *m_p != '<')
            throw Unsupported{}; // text between elements
        const char* name = m_p + 1;
        const char* q = name;
        while (q < m_end && *q >= 'a' && *q <= 'z')
            ++q;
        const qsizetype length = q - name;
        bool empty;
        if (q < m_end && *q == '>') {
            empty = false;
            m_p = q + 1;
        } else if (m_end - q >= 2 && q[0] == '/' && q[1] == '>') {
            empty = true;
            m_p = q + 2;
        } else {
            throw Unsupported{};
        }
        auto is = [&](const char* literal) {
            return qsizetype(std::strlen(literal)) == length &&
                   std::memcmp(name, literal, std::size_t(length)) == 0;
        };
        Tag tag;
        if (is("key"))
            tag = Tag::Key;
        else if (is("string"))
            tag = Tag::String;
        else if (is("dict"))
            tag = Tag::Dict;
        else if (is("array"))
            tag = Tag::Array;
        else if (is("integer"))
            tag = Tag::Integer;
        else if (is("real"))
            tag = Tag::Real;
        else if (is("true"))
            tag = Tag::True;
        else if (is("false"))
            tag = Tag::False;
        else if (is("date"))
            tag = Tag::Date;
        else if (is("data"))
            tag = Tag::Data;
        else
            throw Unsupported{};
        return {tag, empty};
    }

    static const char* endTag(Tag tag) {
        switch (tag) {
        case Tag::Dict:
            return "</dict>";
        case Tag::Array:
            return "</array>";
        case Tag::Key:
            return "</key>";
        case Tag::String:
            return "</string>";
        case Tag::Integer:
            return "</integer>";
        case Tag::Real:
            return "</real>";
        case Tag::True:
            return "</true>";
        case Tag::False:
            return "</false>";
        case Tag::Date:
            return "</date>";
        case Tag::Data:
            return "</data>";
        }
        return "";
    }

    // The text of the element whose start tag was just read, up to and past its end tag.
    Text text(Tag tag) {
        const char* end = endTag(tag);
        const qsizetype endLength = qsizetype(std::strlen(end));
        const char* start = m_p;
        bool ascii = true;
        for (;;) {
            while (m_p < m_end && kPlain.plain[static_cast<unsigned char>(*m_p)])
                ++m_p;
            need(1);
            const auto b = static_cast<unsigned char>(*m_p);
            if (b == '<') {
                if (at(end, endLength)) {
                    const Text result{start, m_p - start, ascii};
                    m_p += endLength;
                    return result;
                }
                break;
            }
            if (b >= 0x80) {
                utf8Char();
                ascii = false;
            } else if (b == ']') {
                if (at("]]>"))
                    throw Unsupported{};
                ++m_p;
            } else if (b == '\t' || b == '\n') {
                ++m_p;
            } else {
                break;
            }
        }
        // Entities, comments or other characters: decode into the scratch buffer.
        m_scratch.assign(start, std::size_t(m_p - start));
        for (;;) {
            need(1);
            const auto b = static_cast<unsigned char>(*m_p);
            if (kPlain.plain[b] || b == '\t' || b == '\n') {
                m_scratch += char(b);
                ++m_p;
            } else if (b >= 0x80) {
                const char* from = m_p;
                utf8Char();
                m_scratch.append(from, std::size_t(m_p - from));
                ascii = false;
            } else if (b == ']') {
                if (at("]]>"))
                    throw Unsupported{};
                m_scratch += ']';
                ++m_p;
            } else if (b == '<') {
                if (at(end, endLength)) {
                    m_p += endLength;
                    return Text{m_scratch.data(), qsizetype(m_scratch.size()), ascii};
                }
                if (!at("<!--"))
                    throw Unsupported{};
                comment();
            } else if (b == '&') {
                entity(ascii);
            } else {
                throw Unsupported{}; // CR (line ends are normalised), control characters
            }
        }
    }

    void entity(bool& ascii) {
        const qsizetype have = m_end - m_p;
        const qsizetype window = std::min<qsizetype>(have, 12);
        const auto* semicolon = static_cast<const char*>(std::memchr(m_p, ';', std::size_t(window)));
        if (!semicolon) {
            if (have < 12 && !m_eof)
                throw NeedMore{};
            throw Unsupported{};
        }
        const char* name = m_p + 1;
        const qsizetype length = semicolon - name;
        auto is = [&](const char* literal) {
            return qsizetype(std::strlen(literal)) == length &&
                   std::memcmp(name, literal, std::size_t(length)) == 0;
        };
        char32_t c = 0;
        if (is("amp")) {
            c = '&';
        } else if (is("lt")) {
            c = '<';
        } else if (is("gt")) {
            c = '>';
        } else if (is("quot")) {
            c = '"';
        } else if (is("apos")) {
            c = '\'';
        } else if (length >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const char* digits = name + (hex ? 2 : 1);
            if (digits == semicolon || semicolon - digits > 7)
                throw Unsupported{};
            for (const char* p = digits; p != semicolon; ++p) {
                const int v = hex ? hexValue(*p) : (*p >= '0' && *p <= '9' ? *p - '0' : -1);
                if (v < 0)
                    throw Unsupported{};
                c = c * (hex ? 16 : 10) + char32_t(v);
            }
            const bool valid = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                               (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
            if (!valid)
                throw Unsupported{};
        } else {
            throw Unsupported{};
        }
        appendUtf8(m_scratch, c);
        if (c >= 0x80)
            ascii = false;
        m_p = semicolon + 1;
    }

    // Skips the value whose start tag was just read.
    void skipRest(const Element& element, int depth) {
        if (element.empty)
            return;
        if (element.tag != Tag::Dict && element.tag != Tag::Array) {
            text(element.tag);
            return;
        }
        if (depth > kMaxDepth)
            throw Unsupported{};
        const char* end = endTag(element.tag);
        const qsizetype endLength = qsizetype(std::strlen(end));
        for (;;) {
            skipMisc();
            if (at(end, endLength)) {
                m_p += endLength;
                return;
            }
            skipRest(openElement(), depth + 1);
        }
    }

    // --- property-list structure ---------------------------------------------------
    // The next key of the dictionary being read, the reader left on its value's start
    // tag; false (past the end tag) at the end of the dictionary.
    bool nextKey(Text& key) {
        skipMisc();
        if (at("</dict>")) {
            m_p += 7;
            return false;
        }
        const Element element = openElement();
        if (element.tag != Tag::Key)
            throw Unsupported{};
        key = element.empty ? Text{} : text(Tag::Key);
        skipMisc();
        return true;
    }

    bool nextElement() {
        skipMisc();
        if (at("</array>")) {
            m_p += 8;
            return false;
        }
        return true;
    }

    Text stringValue() {
        const Element element = openElement();
        if (element.tag != Tag::String)
            throw Unsupported{};
        return element.empty ? Text{} : text(Tag::String);
    }

    bool booleanValue() {
        const Element element = openElement();
        if (element.tag != Tag::True && element.tag != Tag::False)
            throw Unsupported{};
        if (!element.empty && !(element.tag == Tag::True ? at("</true>") : at("</false>")))
            throw Unsupported{};
        if (!element.empty)
            m_p += element.tag == Tag::True ? 7 : 8;
        return element.tag == Tag::True;
    }

    double realElement() {
        const Element element = openElement();
        if (element.tag != Tag::Real && element.tag != Tag::Integer)
            throw Unsupported{};
        if (element.empty)
            throw Unsupported{};
        return realValue(text(element.tag));
    }

    // A URL dictionary; `urlText` receives its "relative" text (UTF-8).
    void urlDict(std::string& urlText) {
        const Element element = openElement();
        if (element.tag != Tag::Dict || element.empty)
            throw Unsupported{};
        bool hasRelative = false;
        Text key;
        while (nextKey(key)) {
            if (key == "relative") {
                const Text value = stringValue();
                urlText.assign(value.data, std::size_t(value.size));
                hasRelative = true;
            } else if (key == "base") {
                throw Unsupported{};
            } else {
                skipRest(openElement(), 1);
            }
        }
        if (!hasRelative)
            throw Unsupported{};
    }

    Checksum checksum() {
        const Element element = openElement();
        if (element.tag != Tag::Dict || element.empty)
            throw Unsupported{};
        Checksum result;
        int seen = 0;
        Text key;
        while (nextKey(key)) {
            if (key == "algorithm") {
                const auto digest = withView(stringValue(), digestFromString);
                if (!digest)
                    throw Unsupported{};
                result.algorithm = *digest;
                seen |= 1;
            } else if (key == "value") {
                result.value = stringValue().toString();
                seen |= 2;
            } else if (key == "id") {
                result.id = uuidValue(stringValue());
                seen |= 4;
            } else {
                skipRest(openElement(), 1);
            }
        }
        if (seen != 7)
            throw Unsupported{};
        return result;
    }

    // One key and its record; returns them through the arguments.
    void pair(Location& keyOut, FileObjectPtr& valueOut);

    // A shared copy of `text` when it equals the last one kept in `last`.
    static QString shared(const Text& text, QString& last) {
        if (text.ascii && last == text.latin1())
            return last;
        QString value = text.toString();
        if (value == last)
            return last;
        last = value;
        return value;
    }

    QByteArray m_buffer;
    QIODevice* m_device = nullptr;
    const char* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_pos = 0; // start of the next step
    bool m_eof = false;
    const char* m_p = nullptr; // cursor of the running step
    const char* m_end = nullptr;
    std::string m_scratch;
    std::string m_keyUrl;
    std::string m_url;
    std::vector<Checksum> m_checksums;
    QString m_lastDirectory;
    QString m_lastSuffix;
};

// The thirteen record keys, in the order of their bits.
constexpr const char* kRecordKeys[] = {"identifier", "location",  "path",      "directory", "prefix",
                                       "suffix",     "name",      "bytes",     "created",   "modified",
                                       "status",     "checksums", "bookmarked"};
constexpr int kRecordKeyCount = 13;

int recordKey(const Text& key) {
    for (int i = 0; i < kRecordKeyCount; ++i)
        if (key.equals(kRecordKeys[i], qsizetype(std::strlen(kRecordKeys[i]))))
            return i;
    return -1;
}

void Parser::pair(Location& keyOut, FileObjectPtr& valueOut) {
    urlDict(m_keyUrl);
    const Location key = locationFromUrl(m_keyUrl);
    if (!nextElement())
        throw Unsupported{}; // odd number of elements
    const Element element = openElement();
    if (element.tag != Tag::Dict || element.empty)
        throw Unsupported{};
    FileObjectData d;
    m_checksums.clear();
    int seen = 0;
    Text name;
    while (nextKey(name)) {
        const int index = recordKey(name);
        switch (index) {
        case 0:
            d.identifier = uuidValue(stringValue());
            break;
        case 1:
            urlDict(m_url);
            // Nearly always the entry's own key: share it instead of decoding it again.
            d.location = m_url == m_keyUrl ? key : locationFromUrl(m_url);
            break;
        case 2: {
            const Text path = stringValue();
            // Nearly always the key's path: share its text without building another.
            d.path = path.ascii && key.path() == path.latin1() ? key.path() : path.toString();
            break;
        }
        case 3:
            d.directory = shared(stringValue(), m_lastDirectory);
            break;
        case 4:
            d.prefix = stringValue().toString();
            break;
        case 5:
            d.suffix = shared(stringValue(), m_lastSuffix);
            break;
        case 6:
            d.name = stringValue().toString();
            break;
        case 7: {
            const Element number = openElement();
            if (number.tag != Tag::Integer || number.empty)
                throw Unsupported{};
            d.bytes = unsignedValue(text(Tag::Integer));
            break;
        }
        case 8:
            d.created = realElement();
            break;
        case 9:
            d.modified = realElement();
            break;
        case 10: {
            const auto state = withView(stringValue(), fileStateFromString);
            if (!state)
                throw Unsupported{};
            d.status = *state;
            break;
        }
        case 11: {
            const Element array = openElement();
            if (array.tag != Tag::Array)
                throw Unsupported{};
            if (!array.empty)
                while (nextElement())
                    m_checksums.push_back(checksum());
            break;
        }
        case 12:
            d.bookmarked = booleanValue();
            break;
        default:
            skipRest(openElement(), 1);
            continue;
        }
        seen |= 1 << index;
    }
    if (seen != (1 << kRecordKeyCount) - 1)
        throw Unsupported{};
    if (d.path == d.location.path())
        d.path = d.location.path(); // one shared text
    d.checksums.reserve(qsizetype(m_checksums.size()));
    for (Checksum& checksum : m_checksums)
        d.checksums.append(std::move(checksum));
    keyOut = key;
    valueOut = FileObject::fromData(d);
}

DatabaseCodec::Map Parser::run() {
    // Prolog: the declaration (only at the very start), white space, comments, the
    // DOCTYPE, then <plist>.
    step([this] {
        if (at("<?xml")) {
            if (at("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"))
                m_p += 38;
            else if (at("<?xml version=\"1.0\"?>"))
                m_p += 21;
            else
                throw Unsupported{};
        }
        bool doctype = false;
        for (;;) {
            skipMisc();
            if (!doctype && at("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">")) {
                m_p += 102;
                doctype = true;
                continue;
            }
            if (at("<plist version=\"1.0\">"))
                m_p += 21;
            else
                expect("<plist>");
            return;
        }
    });
    step([this] {
        skipMisc();
        expect("<dict>");
    });
    DatabaseCodec::Map db;
    bool found = false;
    for (;;) {
        bool more = false;
        bool isDb = false;
        bool emptyArray = false;
        step([&] {
            Text key;
            more = nextKey(key);
            if (!more)
                return;
            isDb = key == "db";
            const Element element = openElement();
            if (element.tag != Tag::Array)
                throw Unsupported{};
            emptyArray = element.empty;
        });
        if (!more)
            break;
        // Every root value is decoded as a map; only "db" is kept.
        DatabaseCodec::Map map;
        bool done = emptyArray;
        while (!done) {
            step([&] {
                if (!nextElement()) {
                    done = true;
                    return;
                }
                Location key;
                FileObjectPtr value;
                pair(key, value);
                if (!map.insert(key, std::move(value)))
                    throw Unsupported{}; // duplicate key
            });
        }
        if (isDb) {
            db = std::move(map);
            found = true;
        }
    }
    step([this] {
        skipMisc();
        expect("</plist>");
        // Epilogue: white space and comments only.
        for (;;) {
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (m_p == m_end) {
                if (!m_eof)
                    throw NeedMore{};
                return;
            }
            if (!at("<!--"))
                throw Unsupported{};
            comment();
        }
    });
    if (!found)
        throw Unsupported{};
    return db;
}

} // namespace

std::optional<DatabaseCodec::Map> DatabaseReader::decode(const QByteArray& document) {
    try {
        Parser parser(document);
        return parser.run();
    } catch (const Unsupported&) {
        return std::nullopt;
    }
}

void DatabaseReader::setBlockSizeForTesting(qsizetype bytes) {
    blockSize = bytes > 0 ? bytes : kDefaultBlockSize;
}

std::optional<DatabaseCodec::Map> DatabaseReader::decode(QIODevice* device) {
    try {
        Parser parser(device);
        return parser.run();
    } catch (const Unsupported&) {
        return std::nullopt;
    }
}

} // namespace trevalin
