// BenchArgs: the digest flags the command-line benchmarks share ("--md5", "--sha1",
// "--sha256", "--sha384", "--sha512").
//
// Stateless; plain functions.
#pragma once

#include "model/Digest.h"

#include <QList>

#include <cstring>

namespace trevalin {

// When `arg` is a digest flag, appends its digest to `algorithms` and returns true;
// otherwise leaves `algorithms` alone and returns false.
inline bool takeDigestFlag(const char* arg, QList<Digest>& algorithms) {
    static constexpr struct {
        const char* flag;
        Digest digest;
    } flags[] = {{"--md5", Digest::MD5},
                 {"--sha1", Digest::SHA1},
                 {"--sha256", Digest::SHA256},
                 {"--sha384", Digest::SHA384},
                 {"--sha512", Digest::SHA512}};
    for (const auto& entry : flags) {
        if (std::strcmp(arg, entry.flag) == 0) {
            algorithms.append(entry.digest);
            return true;
        }
    }
    return false;
}

} // namespace trevalin
