// Location: the identity of a file or folder throughout the program. Holds an
// absolute, lexically normalised path: no trailing slash (except the root "/"),
// no "." or ".." components, no doubled slashes; symbolic links are kept as they
// are (never resolved). Its URL text is "file://" + the percent-encoded path.
//
// Plain value type, cheap to copy (one implicitly shared QString). Safe to use from
// any thread as long as each thread works on its own copy.
#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <compare>
#include <functional>

namespace trevalin {

class Location {
public:
    // The empty location: isEmpty() is true, path() is "".
    Location() = default;
    // A relative path is taken against the current working directory. An empty string
    // gives the empty location.
    explicit Location(const QString& path);

    // From a URL text such as "file:///tmp/a%20b". Anything that is not a local file URL
    // (other scheme, unparsable text) gives the empty location. A plain absolute path
    // (no scheme) is accepted as a path.
    static Location fromUrlText(const QString& text);
    static Location fromUrl(const QUrl& url);

    bool isEmpty() const { return m_path.isEmpty(); }
    // The normalised absolute path.
    const QString& path() const { return m_path; }
    // Last path component ("" for "/").
    QString fileName() const;
    // The path with the last component removed: "/a/b" -> "/a", "/a" -> "/", "/" -> "/".
    QString directory() const;
    // Location of directory().
    Location parent() const;
    // This location with one more component appended.
    Location child(const QString& name) const;
    // The extension of fileName() without the dot: text after the last "." when that dot
    // is neither the first nor the last character of the name; "" otherwise.
    // "a.tar.gz" -> "gz", ".bashrc" -> "", "Makefile" -> "", "name." -> "".
    QString suffix() const;
    // "file://" + percent-encoded path ("" for the empty location).
    QString urlText() const;
    QUrl url() const;

    friend bool operator==(const Location& a, const Location& b) { return a.m_path == b.m_path; }
    friend std::strong_ordering operator<=>(const Location& a, const Location& b) {
        const int c = QString::compare(a.m_path, b.m_path, Qt::CaseSensitive);
        return c < 0   ? std::strong_ordering::less
               : c > 0 ? std::strong_ordering::greater
                       : std::strong_ordering::equal;
    }

    // Lexical normalisation used by the constructor (exposed for tests and callers that
    // only need the text).
    static QString normalise(const QString& path);

private:
    QString m_path;
};

inline size_t qHash(const Location& location, size_t seed = 0) noexcept {
    return qHash(location.path(), seed);
}

} // namespace trevalin

template <> struct std::hash<trevalin::Location> {
    size_t operator()(const trevalin::Location& location) const noexcept { return qHash(location.path(), 0); }
};

Q_DECLARE_METATYPE(trevalin::Location)
