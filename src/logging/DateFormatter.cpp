#include "logging/DateFormatter.h"

#include <ctime>

namespace trevalin {

namespace {

bool isPatternLetter(char16_t c) {
    switch (c) {
    case u'G':
    case u'y':
    case u'u':
    case u'Q':
    case u'q':
    case u'M':
    case u'L':
    case u'd':
    case u'D':
    case u'E':
    case u'e':
    case u'c':
    case u'a':
    case u'H':
    case u'h':
    case u'k':
    case u'K':
    case u'm':
    case u's':
    case u'S':
    case u'A':
    case u'z':
    case u'Z':
    case u'X':
    case u'x':
        return true;
    default:
        return false;
    }
}

void appendNumber(QString& out, qint64 value, int width) {
    if (value < 0) {
        out += u'-';
        value = -value;
    }
    const QString digits = QString::number(value);
    for (int i = int(digits.size()); i < width; ++i)
        out += u'0';
    out += digits;
}

void appendOffset(QString& out, long offsetSeconds, bool colon, bool withMinutes) {
    out += offsetSeconds < 0 ? u'-' : u'+';
    const long magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    appendNumber(out, magnitude / 3600, 2);
    const long minutes = (magnitude / 60) % 60;
    if (withMinutes || minutes != 0) {
        if (colon)
            out += u':';
        appendNumber(out, minutes, 2);
    }
}

} // namespace

DateFormatter::DateFormatter(const QString& pattern)
    : m_pattern(pattern)
    , m_locale(QLocale::system()) {
    const int size = int(pattern.size());
    QString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            m_fields.append(Field{0, 0, literal});
            literal.clear();
        }
    };
    for (int i = 0; i < size;) {
        const char16_t c = pattern.at(i).unicode();
        if (c == u'\'') {
            if (i + 1 < size && pattern.at(i + 1) == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            // Quoted text up to the closing quote; "''" inside is one quote.
            ++i;
            while (i < size) {
                if (pattern.at(i) == u'\'') {
                    if (i + 1 < size && pattern.at(i + 1) == u'\'') {
                        literal += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += pattern.at(i);
                ++i;
            }
            continue;
        }
        if (isPatternLetter(c)) {
            int count = 1;
            while (i + count < size && pattern.at(i + count).unicode() == c)
                ++count;
            flushLiteral();
            m_fields.append(Field{c, count, {}});
            i += count;
            continue;
        }
        literal += pattern.at(i);
        ++i;
    }
    flushLiteral();
}

QString DateFormatter::format(qint64 timeUs, bool utc) const {
    qint64 seconds = timeUs / 1000000;
    qint64 micros = timeUs % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const std::time_t t = std::time_t(seconds);
    std::tm tm{};
    if (utc)
        gmtime_r(&t, &tm);
    else
        localtime_r(&t, &tm);
    const long offset = utc ? 0 : tm.tm_gmtoff;

    QString out;
    out.reserve(m_pattern.size() + 8);
    for (const Field& field : m_fields) {
        const int n = field.count;
        switch (field.letter) {
        case 0:
            out += field.literal;
            break;
        case u'G':
            out += tm.tm_year + 1900 > 0 ? QStringLiteral("AD") : QStringLiteral("BC");
            break;
        case u'y':
        case u'u': {
            const int year = tm.tm_year + 1900;
            if (n == 2)
                appendNumber(out, year % 100, 2);
            else
                appendNumber(out, year, n);
            break;
        }
        case u'Q':
        case u'q': {
            const int quarter = tm.tm_mon / 3 + 1;
            if (n >= 3)
                out += u'Q';
            appendNumber(out, quarter, n == 2 ? 2 : 1);
            break;
        }
        case u'M':
        case u'L':
            if (n <= 2)
                appendNumber(out, tm.tm_mon + 1, n);
            else
                out += m_locale.monthName(tm.tm_mon + 1, n == 3   ? QLocale::ShortFormat
                                                         : n == 4 ? QLocale::LongFormat
                                                                  : QLocale::NarrowFormat);
            break;
        case u'd':
            appendNumber(out, tm.tm_mday, n);
            break;
        case u'D':
            appendNumber(out, tm.tm_yday + 1, n);
            break;
        case u'e':
        case u'c':
            if (n <= 2) {
                appendNumber(out, tm.tm_wday + 1, n);
                break;
            }
            [[fallthrough]];
        case u'E': {
            const int qtDay = tm.tm_wday == 0 ? 7 : tm.tm_wday; // Qt: Monday = 1 ... Sunday = 7
            out += m_locale.dayName(qtDay, n <= 3   ? QLocale::ShortFormat
                                           : n == 4 ? QLocale::LongFormat
                                                    : QLocale::NarrowFormat);
            break;
        }
        case u'a':
            out += tm.tm_hour < 12 ? m_locale.amText() : m_locale.pmText();
            break;
        case u'H':
            appendNumber(out, tm.tm_hour, n);
            break;
        case u'h':
            appendNumber(out, tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12, n);
            break;
        case u'k':
            appendNumber(out, tm.tm_hour == 0 ? 24 : tm.tm_hour, n);
            break;
        case u'K':
            appendNumber(out, tm.tm_hour % 12, n);
            break;
        case u'm':
            appendNumber(out, tm.tm_min, n);
            break;
        case u's':
            appendNumber(out, tm.tm_sec, n);
            break;
        case u'S': {
            // One digit per letter, truncated; beyond microseconds, zeros.
            const QString digits = QStringLiteral("%1").arg(micros, 6, 10, QLatin1Char('0'));
            out += digits.left(n);
            for (int i = 6; i < n; ++i)
                out += u'0';
            break;
        }
        case u'A':
            appendNumber(out, ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * 1000LL + micros / 1000, n);
            break;
        case u'z':
            out += utc ? QStringLiteral("UTC") : QString::fromLocal8Bit(tm.tm_zone ? tm.tm_zone : "");
            break;
        case u'Z':
            if (n <= 3) {
                appendOffset(out, offset, false, true);
            } else if (n == 4) {
                out += QStringLiteral("GMT");
                if (offset != 0)
                    appendOffset(out, offset, true, true);
            } else if (offset == 0) {
                out += u'Z';
            } else {
                appendOffset(out, offset, true, true);
            }
            break;
        case u'X':
        case u'x':
            if (field.letter == u'X' && offset == 0)
                out += u'Z';
            else
                appendOffset(out, offset, n >= 3, n >= 2);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace trevalin
