// CorruptFile: keeps a data file that can no longer be read out of the program's way
// without losing it. The file is renamed to "<name>.corrupt-<UTC time stamp>" in its own
// folder (for example "Trevalin.database.plist.corrupt-20261206T234457Z"); when that name
// is taken, "-2", "-3", ... is appended. A name that exists is never replaced, so every
// copy set aside stays, however often the same file goes bad.
//
// Stateless; safe from any thread.
#pragma once

#include <QDateTime>
#include <QString>

namespace trevalin {

class CorruptFile {
public:
    // Renames `path` to a fresh aside name stamped with `now` and logs at error level
    // "Unreadable file moved aside to <new path> [ <tag> ]". Returns the new path, or an
    // empty string (after an error line naming `path` and the cause) when the file could
    // not be moved; the file is then left where it was.
    static QString setAside(const QString& path, const QString& tag,
                            const QDateTime& now = QDateTime::currentDateTimeUtc());

    // Moves a companion of a file already set aside (a database's journal, say) to the
    // aside name with the same `suffix`: "<aside><suffix>". Nothing there: returns false.
    static bool setAsideCompanion(const QString& companion, const QString& aside, const QString& suffix,
                                  const QString& tag);

    // "<path>.corrupt-yyyyMMddTHHmmssZ" for `now`, without the counter.
    static QString asideName(const QString& path, const QDateTime& now);
};

} // namespace trevalin
