// CoreDataError: the folder store's error cases, and the exception that carries one.
// Plain value types; safe from any thread.
#pragma once

#include <QString>

#include <exception>

namespace trevalin {

enum class CoreDataError : int { EntityCreationFailed = 0, ObjectExists = 1 };

inline QString toString(CoreDataError error) {
    return error == CoreDataError::ObjectExists ? QStringLiteral("ObjectExists")
                                                : QStringLiteral("EntityCreationFailed");
}

class CoreDataException : public std::exception {
public:
    explicit CoreDataException(CoreDataError error)
        : m_error(error) {}
    CoreDataError error() const noexcept { return m_error; }
    const char* what() const noexcept override {
        return m_error == CoreDataError::ObjectExists ? "ObjectExists" : "EntityCreationFailed";
    }

private:
    CoreDataError m_error;
};

} // namespace trevalin
