// FileSystemError: the file-system error cases (their order is their stored code 0-6)
// and FileSystemException, the exception that carries one. An exception made from a
// failed system call keeps the errno value and the system's error text, and maps the
// errno onto the nearest case (ENOENT -> NotFound, EACCES -> NotReadable, EPERM/EROFS ->
// NotPermitted, ENOTDIR -> NotDirectory, EISDIR -> NotFile, EINTR -> Interrupted, any
// other -> InputStreamError). Plain value types; safe from any thread.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace trevalin {

enum class FileSystemError : int {
    NotFound = 0,
    NotReadable = 1,
    NotPermitted = 2,
    NotDirectory = 3,
    NotFile = 4,
    InputStreamError = 5,
    Interrupted = 6,
};

// The case name ("NotFound", ...).
QString toString(FileSystemError error);

class FileSystemException : public std::exception {
public:
    explicit FileSystemException(FileSystemError error, const QString& path = {});
    // From a failed system call: `errnoValue` is mapped to a case, its strerror text is kept.
    static FileSystemException fromErrno(int errnoValue, const QString& path = {});

    FileSystemError error() const noexcept { return m_error; }
    int code() const noexcept { return static_cast<int>(m_error); }
    // 0 unless the exception was made from a failed system call.
    int systemErrno() const noexcept { return m_errno; }
    const QString& path() const noexcept { return m_path; }
    // Human-readable text: the case name, the system error text when there is one, and the path.
    QString description() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    FileSystemError m_error;
    int m_errno = 0;
    QString m_path;
    std::string m_what;
};

} // namespace trevalin
