// ChecksumCalculator: computes digests of files with OpenSSL EVP over streamed reads
// (1 MiB blocks read by FileReader, which leaves the page cache as it found it). The
// digest covers the size the file had when opened; a file that turns out shorter gives
// no digest. Links are followed; anything that is not a regular file once opened is
// refused (no checksum) without being read.
//
// Thread-safety: stateless apart from the EVP_MD objects fetched once per process;
// any number of calls may run at once from any threads.
#pragma once

#include "model/Checksum.h"
#include "model/Digest.h"
#include "model/Location.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace trevalin {

class ChecksumCalculator {
public:
    // One digest of the whole file. Absent when the file cannot be opened or read (also
    // when it is not a regular file, or shrinks while being read); then the warning
    // "An error occured checksumming the file, perhaps it was not safe to memory map
    // file, or maybe the file was removed" and an error line with the system error text
    // are logged. Never throws. Debug-gated: "Checksum processing running on: <thread>".
    static std::optional<Checksum> checksum(const Location& location, Digest algorithm);

    // Several digests from one read of the file, one per entry of `algorithms` in that
    // order (duplicates are computed once and repeated). For files of 2 MiB and more the
    // calling thread reads 1 MiB blocks into a ring of 16 buffers while up to
    // min(algorithms, cores) threads hash them, each taking the algorithm that is furthest
    // behind; smaller files are read and hashed on the calling thread. Results equal those
    // of checksum() per algorithm. Absent on failure, with the same log lines.
    static std::optional<QList<Checksum>> checksumAll(const Location& location,
                                                      const QList<Digest>& algorithms);

    // Digests of an in-memory buffer (lower-case hex), for tests and small inputs.
    static QString hashBytes(const QByteArray& data, Digest algorithm);

    // Lower-case hexadecimal, two characters per byte, no separators.
    static QString toHex(const unsigned char* bytes, int length);

    // Number of hashing threads checksumAll() uses for `count` algorithms (1 for one).
    static int hasherThreads(int count);
    // Test-only: acts as if the machine had `cores` cores (0: the real count again).
    static void setCoresForTesting(int cores);
};

// Shorthand for ChecksumCalculator::checksum.
inline std::optional<Checksum> checksum(const Location& location, Digest algorithm) {
    return ChecksumCalculator::checksum(location, algorithm);
}

} // namespace trevalin
