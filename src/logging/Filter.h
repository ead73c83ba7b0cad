// Filter: an optional message filter of a log destination. It compares one part
// of an entry (source path, function name or message) with one or more values.
// Plain value type; immutable after construction.
//
// How a destination with filters decides: the level must be at least the
// destination's minimum level; no excluding filter may match; every required
// filter must match; and when there are non-required, non-excluding filters, at
// least one of them must match.
#pragma once

#include <QString>
#include <QStringList>

namespace trevalin {

class Filter {
public:
    enum class Target { Path, Function, Message };
    enum class Comparison { Contains, StartsWith, EndsWith, Equals };

    Filter(Target target, Comparison comparison, const QStringList& values, bool caseSensitive = false,
           bool required = false, bool excluding = false);

    // Factories, one per target.
    static Filter path(Comparison comparison, const QStringList& values, bool caseSensitive = false,
                       bool required = false, bool excluding = false);
    static Filter function(Comparison comparison, const QStringList& values, bool caseSensitive = false,
                           bool required = false, bool excluding = false);
    static Filter message(Comparison comparison, const QStringList& values, bool caseSensitive = false,
                          bool required = false, bool excluding = false);

    Target target() const { return m_target; }
    Comparison comparison() const { return m_comparison; }
    const QStringList& values() const { return m_values; }
    bool caseSensitive() const { return m_caseSensitive; }
    bool isRequired() const { return m_required; }
    bool isExcluding() const { return m_excluding; }

    // Whether the text matches any of the values.
    bool matches(const QString& text) const;

private:
    Target m_target;
    Comparison m_comparison;
    QStringList m_values;
    bool m_caseSensitive;
    bool m_required;
    bool m_excluding;
};

} // namespace trevalin
