// Checksum: one computed digest of a file — the algorithm, the digest as lower-case
// hexadecimal text (two characters per byte, no separators) and a random id made when
// it was computed. Equality and hashing use all three fields, so two computations of
// the same file never compare equal; compare algorithm and value to compare digests.
// Plain value type.
#pragma once

#include "model/Digest.h"

#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QUuid>

namespace trevalin {

struct Checksum {
    Digest algorithm = Digest::SHA1;
    QString value;
    QUuid id;

    // A checksum with a fresh random id.
    static Checksum make(Digest algorithm, const QString& value) {
        return {algorithm, value, QUuid::createUuid()};
    }

    // Same algorithm and same value; ids are ignored.
    bool sameDigest(const Checksum& other) const {
        return algorithm == other.algorithm && value == other.value;
    }

    friend bool operator==(const Checksum& a, const Checksum& b) {
        return a.algorithm == b.algorithm && a.value == b.value && a.id == b.id;
    }
};

inline size_t qHash(const Checksum& checksum, size_t seed = 0) noexcept {
    return qHashMulti(seed, static_cast<int>(checksum.algorithm), checksum.value, checksum.id);
}

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::Checksum)
