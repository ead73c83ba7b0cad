// BookmarkError: the bookmark database's error cases (in their fixed order) and the
// exception that carries one. It prints as its case name. Plain value types.
#pragma once

#include <QString>

#include <exception>

namespace trevalin {

enum class BookmarkError : int {
    NoBookmarkError = 0,
    GetBookmarkError = 1,
    LoadBookmarkError = 2,
    SaveBookmarkError = 3
};

inline QString toString(BookmarkError error) {
    switch (error) {
    case BookmarkError::NoBookmarkError:
        return QStringLiteral("NoBookmarkError");
    case BookmarkError::GetBookmarkError:
        return QStringLiteral("GetBookmarkError");
    case BookmarkError::LoadBookmarkError:
        return QStringLiteral("LoadBookmarkError");
    case BookmarkError::SaveBookmarkError:
        return QStringLiteral("SaveBookmarkError");
    }
    return {};
}

class BookmarkException : public std::exception {
public:
    // `detail` names the file and the cause of a load or save failure; `movedTo` is where
    // an unreadable file was set aside (empty when it was not).
    explicit BookmarkException(BookmarkError error, const QString& detail = {}, const QString& movedTo = {})
        : m_error(error)
        , m_detail(detail)
        , m_movedTo(movedTo)
        , m_what(toString(error).toStdString()) {}
    BookmarkError error() const noexcept { return m_error; }
    const QString& detail() const noexcept { return m_detail; }
    const QString& movedTo() const noexcept { return m_movedTo; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    BookmarkError m_error;
    QString m_detail;
    QString m_movedTo;
    std::string m_what;
};

} // namespace trevalin
