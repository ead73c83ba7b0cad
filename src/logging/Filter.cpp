#include "logging/Filter.h"

namespace trevalin {

Filter::Filter(Target target, Comparison comparison, const QStringList& values, bool caseSensitive,
               bool required, bool excluding)
    : m_target(target)
    , m_comparison(comparison)
    , m_values(values)
    , m_caseSensitive(caseSensitive)
    , m_required(required)
    , m_excluding(excluding) {}

Filter Filter::path(Comparison comparison, const QStringList& values, bool caseSensitive, bool required,
                    bool excluding) {
    return Filter(Target::Path, comparison, values, caseSensitive, required, excluding);
}

Filter Filter::function(Comparison comparison, const QStringList& values, bool caseSensitive, bool required,
                        bool excluding) {
    return Filter(Target::Function, comparison, values, caseSensitive, required, excluding);
}

Filter Filter::message(Comparison comparison, const QStringList& values, bool caseSensitive, bool required,
                       bool excluding) {
    return Filter(Target::Message, comparison, values, caseSensitive, required, excluding);
}

bool Filter::matches(const QString& text) const {
    const Qt::CaseSensitivity cs = m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const QString& value : m_values) {
        bool hit = false;
        switch (m_comparison) {
        case Comparison::Contains:
            hit = text.contains(value, cs);
            break;
        case Comparison::StartsWith:
            hit = text.startsWith(value, cs);
            break;
        case Comparison::EndsWith:
            hit = text.endsWith(value, cs);
            break;
        case Comparison::Equals:
            hit = text.compare(value, cs) == 0;
            break;
        }
        if (hit)
            return true;
    }
    return false;
}

} // namespace trevalin
