// SecurityBookmark: the persisted proof that the user chose a location, from which
// access can be reopened in a later run. Its token is a small versioned record of the
// location's path and the device and inode it had when the bookmark was made:
//   "TVBM", version byte 1, device (u64, big endian), inode (u64, big endian),
//   path length (u32, big endian), path (native bytes).
// Resolving a token fails only when nothing exists at the path any more; it is stale
// when the path now leads to another file (device or inode differ). A file that exists
// but may not be read resolves, and says so.
// Plain value type; safe from any thread.
#pragma once

#include "model/Location.h"

#include <QByteArray>
#include <QUuid>

namespace trevalin {

class SecurityBookmark {
public:
    SecurityBookmark() = default;
    SecurityBookmark(const QUuid& identifier, const QByteArray& token)
        : m_identifier(identifier)
        , m_token(token) {}

    // Creates a bookmark for an existing location, readable or not. Throws
    // FileSystemException NotFound when nothing exists at the path, BookmarkException
    // GetBookmarkError when its identity cannot be read.
    static SecurityBookmark create(const Location& location);

    struct Resolution {
        Location location;
        bool stale = false;
        // The process may read the location now.
        bool readable = true;
    };
    // Resolves a token. Throws BookmarkException GetBookmarkError when the token is not
    // one of ours, FileSystemException NotFound when nothing exists at its path. When
    // the path exists but its identity cannot be read, the token resolves as not stale
    // and not readable.
    static Resolution resolve(const QByteArray& token);
    Resolution resolve() const { return resolve(m_token); }

    static QByteArray makeToken(const QString& path, quint64 device, quint64 inode);

    const QUuid& identifier() const { return m_identifier; }
    const QByteArray& token() const { return m_token; }

    bool operator==(const SecurityBookmark&) const = default;

private:
    QUuid m_identifier;
    QByteArray m_token;
};

inline size_t qHash(const SecurityBookmark& bookmark, size_t seed = 0) noexcept {
    return qHashMulti(seed, bookmark.identifier(), bookmark.token());
}

} // namespace trevalin
