// bench_digest: digest throughput of ChecksumCalculator on a page-cached file, next to
// the raw OpenSSL EVP rate over 16 KiB buffers (what `openssl speed -evp ALG -bytes
// 16384` measures), run in the same process so the ratio holds under any machine load.
//
// The file is $TREVALIN_BENCH_FILE, else /tmp/hashbench/big/1GiB.bin when present, else
// a 256 MiB file made in the temporary folder. Figures: bytes_per_second per benchmark.
//
// PageCache/...: what hashing leaves in the page cache, on a file of its own with part
// of it cached beforehand. Both counters should stay near 0: left_behind counts pages
// hashing brought in and left resident (a few 2 MiB units sharing pages cached before
// are tolerated), evicted counts pages cached before that hashing dropped.
#include "model/ChecksumCalculator.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

using namespace trevalin;

namespace {

QString benchFile() {
    static const QString file = [] {
        const QString given = QString::fromLocal8Bit(qgetenv("TREVALIN_BENCH_FILE"));
        if (!given.isEmpty())
            return given;
        const QString shared = QStringLiteral("/tmp/hashbench/big/1GiB.bin");
        if (QFileInfo(shared).size() == (qint64(1) << 30))
            return shared;
        const QString made = QDir::tempPath() + QStringLiteral("/bench_digest-256MiB.bin");
        if (QFileInfo(made).size() != (qint64(256) << 20)) {
            QFile out(made);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            QByteArray block(1 << 20, Qt::Uninitialized);
            QRandomGenerator generator(1);
            for (int i = 0; i < 256; ++i) {
                generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
                out.write(block);
            }
        }
        return made;
    }();
    return file;
}

qint64 warmFile() {
    QFile in(benchFile());
    in.open(QIODevice::ReadOnly);
    QByteArray block(1 << 20, Qt::Uninitialized);
    while (in.read(block.data(), block.size()) > 0) {
    }
    return QFileInfo(benchFile()).size();
}

const char* name(Digest digest) {
    static const char* names[] = {"MD5", "SHA1", "SHA256", "SHA384", "SHA512"};
    return names[int(digest)];
}

// The OpenSSL reference: one EVP context fed 16 KiB buffers, as `openssl speed` does.
void BM_EvpReference16K(benchmark::State& state) {
    const Digest digest = Digest(state.range(0));
    EVP_MD* md = EVP_MD_fetch(nullptr, name(digest), nullptr);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::vector<unsigned char> buffer(16384, 0x5a);
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        // 64 MiB per iteration, one digest per 16 KiB buffer.
        for (int i = 0; i < 4096; ++i) {
            EVP_DigestInit_ex2(context, md, nullptr);
            EVP_DigestUpdate(context, buffer.data(), buffer.size());
            EVP_DigestFinal_ex(context, out, &length);
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * 4096 * 16384);
    state.SetLabel(name(digest));
    EVP_MD_CTX_free(context);
    EVP_MD_free(md);
}

void BM_Checksum(benchmark::State& state) {
    const Digest digest = Digest(state.range(0));
    const qint64 size = warmFile();
    const Location location(benchFile());
    for (auto _ : state) {
        auto result = ChecksumCalculator::checksum(location, digest);
        if (!result)
            state.SkipWithError("checksum failed");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.SetLabel(name(digest));
}

void BM_ChecksumAllFive(benchmark::State& state) {
    const qint64 size = warmFile();
    const Location location(benchFile());
    for (auto _ : state) {
        auto result = ChecksumCalculator::checksumAll(location, allDigests());
        if (!result)
            state.SkipWithError("checksumAll failed");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

// One flag per page of the file: whether it is in the page cache. Empty when the file
// can't be asked.
std::vector<bool> residency(const QString& path) {
    QFile file(path);
    uchar* map = file.open(QIODevice::ReadOnly) ? file.map(0, file.size()) : nullptr;
    if (!map)
        return {};
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages((file.size() + page - 1) / page);
    const bool asked = ::mincore(map, size_t(file.size()), pages.data()) == 0;
    file.unmap(map);
    std::vector<bool> resident;
    for (unsigned char flags : pages)
        resident.push_back(asked && (flags & 1));
    return asked ? resident : std::vector<bool>();
}

void dropFromCache(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Arguments: file size, start and end of the part cached beforehand (MiB), algorithms.
void BM_PageCache(benchmark::State& state) {
    const qint64 mib = 1 << 20, size = state.range(0) * mib;
    const qint64 cachedFrom = state.range(1) * mib, cachedTo = state.range(2) * mib;
    const QList<Digest> algorithms = allDigests().mid(0, int(state.range(3)));
    const QString file = QDir::tempPath() + QStringLiteral("/bench_digest-pagecache.bin");
    {
        QFile out(file);
        QByteArray block(int(mib), Qt::Uninitialized);
        QRandomGenerator generator(3);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (qint64 written = 0; written < size; written += mib) {
            generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
            out.write(block);
        }
    }
    double leftBehind = 0, evicted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dropFromCache(file);
        {
            QFile in(file);
            if (in.open(QIODevice::ReadOnly) && in.seek(cachedFrom))
                in.read(cachedTo - cachedFrom);
        }
        const std::vector<bool> before = residency(file);
        if (before.empty() || std::count(before.begin(), before.end(), true) >
                                  (cachedTo - cachedFrom) / ::sysconf(_SC_PAGESIZE) + 1024) {
            state.SkipWithError("the file system does not let the page cache be asked or dropped");
            break;
        }
        state.ResumeTiming();
        if (!ChecksumCalculator::checksumAll(Location(file), algorithms))
            state.SkipWithError("checksumAll failed");
        state.PauseTiming();
        const std::vector<bool> after = residency(file);
        for (size_t page = 0; page < before.size() && page < after.size(); ++page) {
            leftBehind += !before[page] && after[page];
            evicted += before[page] && !after[page];
        }
        state.ResumeTiming();
    }
    QFile::remove(file);
    state.counters["left_behind"] = benchmark::Counter(leftBehind, benchmark::Counter::kAvgIterations);
    state.counters["evicted"] = benchmark::Counter(evicted, benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(state.iterations() * size);
}

} // namespace

// Each algorithm's reference right before its own figure, so both see the same load.
int main(int argc, char** argv) {
    for (Digest digest : kAllDigests) {
        const std::string suffix = std::string("/") + name(digest);
        benchmark::RegisterBenchmark(("EvpReference16K" + suffix).c_str(), BM_EvpReference16K)
            ->Arg(int(digest))
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("Checksum" + suffix).c_str(), BM_Checksum)
            ->Arg(int(digest))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("ChecksumAllFive", BM_ChecksumAllFive)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
    // All cached; none cached with five algorithms; large files with their tail or a
    // middle stretch cached, whose cached pages are asked about a stretch at a time.
    for (const std::vector<int64_t>& args : std::vector<std::vector<int64_t>>{
             {8, 0, 8, 1}, {8, 0, 0, 5}, {72, 48, 72, 1}, {72, 40, 44, 5}, {96, 0, 0, 1}})
        benchmark::RegisterBenchmark("PageCache", BM_PageCache)
            ->Args(args)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
