// DateFormatter: renders a point in time with a Unicode (ICU-style) date pattern
// such as "yyyy-MM-dd HH:mm:ss.SSS", in the local time zone or in UTC. The
// pattern is parsed once; rendering is cheap enough for every log line.
//
// Supported pattern letters (a run of the same letter is one field):
//   G era (AD/BC); y/u year (y: as is, yy: two digits, yyy+: zero-padded);
//   Q/q quarter (1-2: number, 3+: "Q1"); M/L month (1-2: number, 3: short name,
//   4: full name, 5: narrow name); d day of month; D day of year;
//   E weekday (1-3: short name, 4: full name, 5: narrow); e/c weekday number
//   (Sunday = 1) or, from 3 letters, as E; a AM/PM; H hour 0-23; h hour 1-12;
//   k hour 1-24; K hour 0-11; m minute; s second; S fractional second (one digit
//   per letter, truncated); A milliseconds in the day; z time-zone abbreviation;
//   Z offset (1-3: "+0100", 4: "GMT+01:00", 5: "+01:00" or "Z"); X/x offset
//   (1: "+01", 2: "+0100", 3+: "+01:00"; X writes "Z" for UTC).
// Text in single quotes is literal ("''" is one quote). Any other character,
// including an unsupported ASCII letter, is copied unchanged. Names come from the
// system locale.
//
// Thread-safety: const members may be called from several threads at once.
#pragma once

#include <QLocale>
#include <QString>
#include <QVector>

namespace trevalin {

class DateFormatter {
public:
    explicit DateFormatter(const QString& pattern = QString());

    const QString& pattern() const { return m_pattern; }

    // Renders `timeUs` (microseconds since 1970-01-01 00:00:00 UTC) in the local
    // time zone, or in UTC when `utc` is true.
    QString format(qint64 timeUs, bool utc) const;

private:
    struct Field {
        char16_t letter = 0; // 0: literal text
        int count = 0;
        QString literal;
    };
    QString m_pattern;
    QVector<Field> m_fields;
    QLocale m_locale;
};

} // namespace trevalin
