// bench_hashfile: hashes files the way the program does, for timing against other
// tools from the command line (bench/run-hashfile-peers.sh, peers.sh 'label=command').
//
//   bench_hashfile [--md5] [--sha1] [--sha256] [--sha384] [--sha512] [--separate] FILE...
//
// Default: all chosen algorithms in one pass over each file (ChecksumCalculator::
// checksumAll). --separate: one pass per algorithm (ChecksumCalculator::checksum), as
// one job per algorithm does. Prints "ALGORITHM  HEX  PATH" per digest; exit status 1
// when any file could not be hashed.
#include "BenchArgs.h"
#include "model/ChecksumCalculator.h"

#include <QString>

#include <cstdio>
#include <cstring>

using namespace trevalin;

int main(int argc, char** argv) {
    QList<Digest> algorithms;
    bool separate = false;
    QList<QString> files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (takeDigestFlag(arg, algorithms))
            continue;
        if (std::strcmp(arg, "--separate") == 0)
            separate = true;
        else
            files.append(QString::fromLocal8Bit(arg));
    }
    if (algorithms.isEmpty())
        algorithms.append(Digest::SHA1);
    if (files.isEmpty()) {
        std::fprintf(stderr,
                     "usage: %s [--md5] [--sha1] [--sha256] [--sha384] [--sha512] [--separate] FILE...\n",
                     argv[0]);
        return 2;
    }
    int status = 0;
    for (const QString& file : files) {
        const Location location(file);
        QList<Checksum> results;
        if (separate) {
            for (Digest digest : algorithms) {
                if (auto checksum = ChecksumCalculator::checksum(location, digest))
                    results.append(*checksum);
                else
                    status = 1;
            }
        } else if (auto all = ChecksumCalculator::checksumAll(location, algorithms)) {
            results = *all;
        } else {
            status = 1;
        }
        for (const Checksum& checksum : results)
            std::printf("%-6s %s  %s\n", qPrintable(toString(checksum.algorithm)), qPrintable(checksum.value),
                        qPrintable(location.path()));
    }
    return status;
}
