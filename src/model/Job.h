// Job: one unit of hashing work — a shared record and the algorithm to compute.
//
// Hash and equality deliberately differ. Equality (==) is the record's metadata
// equality plus equal algorithms: two jobs for the same unchanged file are equal even
// when they hold distinct records. Hashing (qHash, std::hash, JobIdentityHash) uses the
// record's identity (address) and then the algorithm. Ordered sets of jobs
// (the work queues) key on identity: use JobIdentityHash with JobIdentityEqual (or
// identityKey()), so two jobs of two distinct records for the same file are both kept,
// and appending a job of the same record and algorithm again changes nothing.
// Plain value type; the record it points to is itself thread-safe.
#pragma once

#include "model/Digest.h"
#include "model/FileObject.h"

#include <QHashFunctions>
#include <QMetaType>

#include <cstdint>
#include <functional>
#include <utility>

namespace trevalin {

struct Job {
    FileObjectPtr file;
    Digest algorithm = Digest::SHA1;

    // (record address, algorithm): the key by which queues tell jobs apart.
    std::pair<quintptr, int> identityKey() const {
        return {reinterpret_cast<quintptr>(file.get()), static_cast<int>(algorithm)};
    }

    // Metadata equality of the records (false when either is null) and equal algorithms.
    friend bool operator==(const Job& a, const Job& b) {
        return a.algorithm == b.algorithm && sameMetadata(a.file, b.file);
    }
};

inline size_t qHash(const Job& job, size_t seed = 0) noexcept {
    return qHashMulti(seed, reinterpret_cast<quintptr>(job.file.get()), static_cast<int>(job.algorithm));
}

struct JobIdentityHash {
    size_t operator()(const Job& job) const noexcept { return qHash(job, 0); }
};

struct JobIdentityEqual {
    bool operator()(const Job& a, const Job& b) const noexcept { return a.identityKey() == b.identityKey(); }
};

} // namespace trevalin

template <> struct std::hash<trevalin::Job> {
    size_t operator()(const trevalin::Job& job) const noexcept { return trevalin::qHash(job, 0); }
};

Q_DECLARE_METATYPE(trevalin::Job)
