#include "engine/IntegrityCheck.h"

#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/ChecksumCalculator.h"
#include "model/FileSystem.h"
#include "store/Database.h"

#include <QThreadPool>
#include <QtConcurrent>

#include <exception>

namespace trevalin {

namespace {

const QString kTag = logTag("IntegrityCheck.verify(_:)");

// The algorithms of the stored digests, each once, in stored order.
QList<Digest> storedAlgorithms(const QList<Checksum>& checksums) {
    QList<Digest> algorithms;
    for (const Checksum& checksum : checksums) {
        if (!algorithms.contains(checksum.algorithm))
            algorithms.append(checksum.algorithm);
    }
    return algorithms;
}

FileObjectPtr readMetadata(const Location& location, bool bookmarked) {
    try {
        return FileObject::create(location, bookmarked);
    } catch (const std::exception&) {
        return nullptr;
    }
}

// A fresh record for a changed file, hashed with `algorithms` in one read.
IntegrityCheck::Result rehash(IntegrityCheck::Result result, const FileObjectPtr& fresh,
                              const QList<Digest>& algorithms) {
    const std::optional<QList<Checksum>> digests =
        ChecksumCalculator::checksumAll(fresh->location(), algorithms);
    if (!digests) {
        result.verdict = IntegrityCheck::Verdict::Unreadable;
        return result;
    }
    fresh->setChecksums(*digests);
    fresh->setStatus(FileState::Processed);
    result.verdict = IntegrityCheck::Verdict::Changed;
    result.fresh = fresh;
    return result;
}

} // namespace

QString IntegrityCheck::verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return QStringLiteral("ok");
    case Verdict::Changed:
        return QStringLiteral("changed");
    case Verdict::Corrupt:
        return QStringLiteral("corrupt");
    case Verdict::Missing:
        return QStringLiteral("missing");
    case Verdict::Unreadable:
        return QStringLiteral("unreadable");
    }
    return {};
}

IntegrityCheck::Result IntegrityCheck::verify(const FileObjectPtr& record, const QList<Digest>& enabled) {
    Result result;
    result.record = record;
    const Location& location = record->location();
    const QList<Digest> rehashWith = enabled.isEmpty() ? QList<Digest>{Digest::SHA1} : enabled;
    const FileSystem fs(location);
    if (!fs.exists()) {
        result.verdict = Verdict::Missing;
        TLOG_WARNING(QStringLiteral("Tracked file is missing: ") + location.path() + kTag);
        return result;
    }
    const FileObjectPtr before = readMetadata(location, record->bookmarked());
    if (!before) {
        result.verdict = Verdict::Unreadable;
        return result;
    }
    const QList<Checksum> stored = record->checksums();
    if (!(*before == *record) || stored.isEmpty())
        return rehash(result, before, rehashWith);

    const QList<Digest> algorithms = storedAlgorithms(stored);
    const std::optional<QList<Checksum>> digests = ChecksumCalculator::checksumAll(location, algorithms);
    if (!digests) {
        result.verdict = Verdict::Unreadable;
        return result;
    }
    // A file written while it was read is a changed file, not a corrupt one.
    const FileObjectPtr after = readMetadata(location, record->bookmarked());
    if (!after) {
        result.verdict = fs.exists() ? Verdict::Unreadable : Verdict::Missing;
        return result;
    }
    if (!(*after == *before))
        return rehash(result, after, rehashWith);

    for (const Checksum& want : stored) {
        const qsizetype i = algorithms.indexOf(want.algorithm);
        if (!(*digests)[i].sameDigest(want) && !result.differs.contains(want.algorithm))
            result.differs.append(want.algorithm);
    }
    if (result.differs.isEmpty()) {
        result.verdict = Verdict::Ok;
    } else {
        result.verdict = Verdict::Corrupt;
        QString names;
        for (Digest d : result.differs)
            names += toString(d) + u' ';
        TLOG_ERROR(QStringLiteral("Content changed without a metadata change (digest mismatch: ") +
                   names.trimmed() + QStringLiteral("): ") + location.path() + kTag);
    }
    return result;
}

QList<IntegrityCheck::Result> IntegrityCheck::run(const QList<FileObjectPtr>& records,
                                                  const QList<Digest>& enabled, Database& database,
                                                  int threads,
                                                  const std::function<void(const Result&)>& report) {
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, threads));
    QFuture<Result> future = QtConcurrent::mapped(
        &pool, records, [enabled](const FileObjectPtr& record) { return verify(record, enabled); });
    QList<Result> results;
    results.reserve(records.size());
    bool modified = false;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const Result result = future.resultAt(int(i)); // waits for this one
        if (result.verdict == Verdict::Changed && result.fresh) {
            database.set(result.fresh->location(), result.fresh);
            modified = true;
        }
        if (report)
            report(result);
        results.append(result);
    }
    future.waitForFinished();
    if (modified)
        database.markDatabaseModified();
    return results;
}

} // namespace trevalin
