// PlistError: the exception thrown by the property-list codec and the file helpers
// when a document cannot be written, read or decoded. Carries one human-readable text.
// Plain value type; safe from any thread.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace trevalin {

class PlistError : public std::exception {
public:
    explicit PlistError(const QString& message)
        : m_message(message)
        , m_what(message.toStdString()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
};

} // namespace trevalin
