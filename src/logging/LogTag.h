// logTag(): the " [ <function> ]" suffix that names, at the end of a log line, the
// function that wrote it (for example " [ Database.load() ]"). Every log line of the
// program that carries such a name builds it here, so the suffix looks the same
// everywhere.
//
// Stateless; safe from any thread.
#pragma once

#include <QString>

namespace trevalin {

// " [ " + function + " ]", `function` in Latin-1 (a string literal).
inline QString logTag(const char* function) {
    return QStringLiteral(" [ ") + QLatin1StringView(function) + QStringLiteral(" ]");
}

inline QString logTag(const QString& function) {
    return QStringLiteral(" [ ") + function + QStringLiteral(" ]");
}

} // namespace trevalin
