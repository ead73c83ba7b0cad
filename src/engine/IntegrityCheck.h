// IntegrityCheck: re-reads tracked files and compares them with their records — the
// bit-rot check (trevalinctl check). Each file comes out as
//   Ok         metadata unchanged and every stored digest matches;
//   Changed    metadata changed: the file was hashed again with the enabled algorithms
//              and a fresh record replaces the old one (also for a record that had no
//              digests yet);
//   Corrupt    metadata unchanged but a stored digest differs: the record is kept as
//              it is, so the stored digests still describe the good content;
//   Missing    nothing at the path any more;
//   Unreadable the file exists but could not be read.
// Each file is read once for all its algorithms; files are spread over a thread pool.
//
// Thread-safety: verify() is stateless and may run on any thread; run() is called
// from one thread and applies the changed records to the database on that thread.
#pragma once

#include "model/Digest.h"
#include "model/FileObject.h"

#include <QList>
#include <QString>

#include <functional>

namespace trevalin {

class Database;

class IntegrityCheck {
public:
    enum class Verdict { Ok, Changed, Corrupt, Missing, Unreadable };

    struct Result {
        Verdict verdict = Verdict::Ok;
        FileObjectPtr record;  // the stored record that was checked
        FileObjectPtr fresh;   // Changed: the record that replaces it
        QList<Digest> differs; // Corrupt: the algorithms whose digest differs
    };

    // "ok", "changed", "corrupt", "missing", "unreadable".
    static QString verdictText(Verdict verdict);

    // Checks one record against the file; `enabled` are the algorithms a changed file
    // is hashed with (SHA1 when empty). Never throws.
    static Result verify(const FileObjectPtr& record, const QList<Digest>& enabled);

    // Checks `records` with up to `threads` files at a time and calls `report` for each
    // result in the order of `records`, as soon as that result and all before it are
    // known. Changed records are stored into `database` (and it is marked modified).
    // Returns the results in order.
    static QList<Result> run(const QList<FileObjectPtr>& records, const QList<Digest>& enabled,
                             Database& database, int threads,
                             const std::function<void(const Result&)>& report);
};

} // namespace trevalin
