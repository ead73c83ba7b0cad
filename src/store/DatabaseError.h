// DatabaseError: the content database's error cases (in their fixed order) and the
// exception that carries one. It prints as its case name. Plain value types.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace trevalin {

enum class DatabaseError : int {
    InvalidIndex = 0,
    NoDatabaseError = 1,
    LoadDatabaseError = 2,
    SaveDatabaseError = 3,
    DatabaseEmpty = 4,
    DumpFilterInvalid = 5,
    LocationNotPresent = 6,
};

QString toString(DatabaseError error);

class DatabaseException : public std::exception {
public:
    explicit DatabaseException(DatabaseError error, int position = 0);
    // A load or save failure: `detail` names the file and the cause; `movedTo` is where
    // an unreadable file was set aside (empty when it was not).
    DatabaseException(DatabaseError error, const QString& detail, const QString& movedTo = {});
    DatabaseError error() const noexcept { return m_error; }
    // The position of InvalidIndex.
    int position() const noexcept { return m_position; }
    const QString& detail() const noexcept { return m_detail; }
    const QString& movedTo() const noexcept { return m_movedTo; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    DatabaseError m_error;
    int m_position;
    QString m_detail;
    QString m_movedTo;
    std::string m_what;
};

} // namespace trevalin
