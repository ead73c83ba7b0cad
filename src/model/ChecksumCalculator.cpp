#include "model/ChecksumCalculator.h"

#include "logging/DebugGate.h"
#include "logging/Logger.h"
#include "model/FileReader.h"

#include <QDebug>
#include <QThread>

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <sys/syscall.h>

namespace trevalin {

namespace {

constexpr size_t kBlockSize = FileReader::blockSize; // one read
constexpr size_t kSliceSize = 64 << 10;       // the unit a thread feeds to each of its algorithms in turn
constexpr int kRingBlocks = 16;               // blocks in flight between the reader and the hashers
constexpr quint64 kPipelineMinimum = 2 << 20; // smaller files are read and hashed on the calling thread

const char* evpName(Digest digest) {
    switch (digest) {
    case Digest::MD5:
        return "MD5";
    case Digest::SHA1:
        return "SHA1";
    case Digest::SHA256:
        return "SHA256";
    case Digest::SHA384:
        return "SHA384";
    case Digest::SHA512:
        return "SHA512";
    }
    return "SHA1";
}

// The EVP_MD implementations, fetched once per process and kept for its lifetime.
const EVP_MD* evpDigest(Digest digest) {
    static const std::array<EVP_MD*, kAllDigests.size()> digests = [] {
        std::array<EVP_MD*, kAllDigests.size()> fetched{};
        for (Digest d : kAllDigests)
            fetched[static_cast<size_t>(d)] = EVP_MD_fetch(nullptr, evpName(d), nullptr);
        return fetched;
    }();
    return digests[static_cast<size_t>(digest)];
}

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Context newContext(Digest digest) {
    Context context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex2(context.get(), evpDigest(digest), nullptr) != 1)
        context.reset();
    return context;
}

QString finish(EVP_MD_CTX* context) {
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, bytes, &length) != 1)
        return {};
    return ChecksumCalculator::toHex(bytes, static_cast<int>(length));
}

void logFailure(const QString& reason) {
    TLOG_WARNING(
        QStringLiteral("An error occured checksumming the file, perhaps it was not safe to memory map "
                       "file, or maybe the file was removed"));
    TLOG_ERROR(reason);
}

// Reads on the calling thread and hashes there too: small files and single-core machines.
bool hashSequential(FileReader& file, std::vector<Context>& contexts) {
    const size_t bufferSize =
        static_cast<size_t>(std::min<quint64>(kBlockSize, std::max<quint64>(file.size(), 1)));
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[bufferSize]);
    const quint64 blocks = file.blockCount();
    for (quint64 block = 0; block < blocks; ++block) {
        const qint64 length = file.readBlock(block, buffer.get());
        if (length < 0)
            return false;
        // Slice by slice through every algorithm, so each slice is still in the core's
        // cache when the next algorithm reads it.
        for (size_t offset = 0; offset < size_t(length); offset += kSliceSize) {
            const size_t slice = std::min(kSliceSize, size_t(length) - offset);
            for (Context& context : contexts)
                EVP_DigestUpdate(context.get(), buffer.get() + offset, slice);
        }
    }
    return true;
}

// The ring of buffers between the reader and the hashing threads: one region of
// kRingBlocks * kBlockSize bytes, or null when it cannot be allocated. It is kept per calling thread and
// reused for every file that thread hashes: allocated afresh for each file it would go back to the system and
// be faulted in (and zeroed) again, page by page, which costs more than reading a file of a few MiB. The
// region is aligned for transparent huge pages, so the first use faults it in a few large pages rather than
// thousands of small ones.
unsigned char* ringRegion() {
    constexpr size_t kBytes = kRingBlocks * kBlockSize;
    constexpr size_t kHugePage = 2 << 20;
    struct Region {
        unsigned char* bytes = nullptr;
        ~Region() { std::free(bytes); }
    };
    thread_local Region region;
    if (!region.bytes) {
        region.bytes = static_cast<unsigned char*>(std::aligned_alloc(kHugePage, kBytes));
        if (region.bytes)
            ::madvise(region.bytes, kBytes, MADV_HUGEPAGE); // advice only: small pages work too
    }
    return region.bytes;
}

// The calling thread reads blocks into a ring of buffers; hashing threads feed them to
// the algorithms. Each algorithm takes the blocks in order, one thread at a time; a free
// thread always takes the algorithm that is furthest behind, so the work balances itself
// over the threads whatever the algorithms cost, and a thread that the system holds back
// only delays its current block. A slot is refilled once every algorithm is past it.
class Pipeline {
public:
    Pipeline(FileReader& file, std::vector<Context>& contexts, unsigned char* ring)
        : m_file(file)
        , m_contexts(contexts)
        , m_ring(ring)
        , m_next(contexts.size(), 0)
        , m_busy(contexts.size(), false) {}

    // Returns false when a read failed; `started` is false when not even one hashing
    // thread could be started (nothing was hashed: the caller falls back).
    bool run(int threadCount, bool& started) {
        std::vector<std::thread> threads;
        try {
            for (int t = 0; t < threadCount; ++t)
                threads.emplace_back([this] { hashLoop(); });
        } catch (...) {
            // Fewer threads than wanted still finish the work; none at all cannot.
        }
        started = !threads.empty();
        if (!started)
            return false;
        bool ok = true;
        const quint64 blocks = m_file.blockCount();
        for (quint64 block = 0; block < blocks; ++block) {
            const size_t slot = static_cast<size_t>(block % kRingBlocks);
            {
                std::unique_lock lock(m_mutex);
                // The slot last held block - kRingBlocks; wait until every algorithm is past it.
                m_slotFree.wait(lock, [&] { return slowest() + kRingBlocks > block; });
            }
            const qint64 length = m_file.readBlock(block, m_ring + slot * kBlockSize);
            if (length < 0) {
                ok = false;
                break;
            }
            {
                std::lock_guard lock(m_mutex);
                m_lengths[slot] = static_cast<size_t>(length);
                m_produced = block + 1;
            }
            m_work.notify_all();
        }
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
            m_abort = !ok;
        }
        m_work.notify_all();
        for (std::thread& thread : threads)
            thread.join();
        return ok;
    }

private:
    quint64 slowest() const { return *std::min_element(m_next.begin(), m_next.end()); }

    void hashLoop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            // The idle algorithm furthest behind that has a block to take.
            size_t chosen = m_contexts.size();
            m_work.wait(lock, [&] {
                if (m_abort)
                    return true;
                chosen = m_contexts.size();
                bool allDone = true;
                for (size_t a = 0; a < m_contexts.size(); ++a) {
                    if (m_next[a] < m_file.blockCount())
                        allDone = false;
                    if (!m_busy[a] && m_next[a] < m_produced &&
                        (chosen == m_contexts.size() || m_next[a] < m_next[chosen]))
                        chosen = a;
                }
                return chosen < m_contexts.size() || (m_finished && allDone) ||
                       (m_finished && m_produced < m_file.blockCount());
            });
            if (m_abort || chosen == m_contexts.size())
                return;
            m_busy[chosen] = true;
            const quint64 block = m_next[chosen];
            const size_t slot = static_cast<size_t>(block % kRingBlocks);
            const size_t length = m_lengths[slot];
            lock.unlock();
            EVP_DigestUpdate(m_contexts[chosen].get(), m_ring + slot * kBlockSize, length);
            lock.lock();
            m_busy[chosen] = false;
            const bool wasSlowest = m_next[chosen] == slowest();
            ++m_next[chosen];
            if (wasSlowest)
                m_slotFree.notify_one();
            // Another thread may now take this algorithm's next block, or see that all is done.
            m_work.notify_all();
        }
    }

    FileReader& m_file;
    std::vector<Context>& m_contexts;
    unsigned char* m_ring; // the calling thread's ring region

    std::mutex m_mutex; // guards everything below, and the slot contents' hand-over
    std::condition_variable m_work;
    std::condition_variable m_slotFree;
    std::array<size_t, kRingBlocks> m_lengths{};
    quint64 m_produced = 0;
    std::vector<quint64> m_next; // per algorithm: the next block it takes
    std::vector<bool> m_busy;    // per algorithm: a thread is hashing a block with it
    bool m_finished = false;
    bool m_abort = false;
};

std::atomic<int> s_coresOverride{0}; // 0: the machine's count

int availableCores() {
    const int forced = s_coresOverride.load(std::memory_order_relaxed);
    // Asked of the system once: it costs a system call, and small files are hashed by the
    // thousand.
    static const int machine = std::max(1, QThread::idealThreadCount());
    return forced > 0 ? forced : machine;
}

// Hashes the file once with every digest of `unique`; results in the same order.
std::optional<std::vector<QString>> hashFile(const Location& location, const std::vector<Digest>& unique) {
    if (DebugGate::flag())
        TLOG_DEBUG(QStringLiteral("Checksum processing running on: ") + Logger::currentThreadDescription());

    FileReader file(location.path());
    if (!file.isOpen()) {
        logFailure(file.error());
        return std::nullopt;
    }

    std::vector<Context> contexts;
    for (Digest digest : unique) {
        contexts.push_back(newContext(digest));
        if (!contexts.back()) {
            logFailure(QStringLiteral("The hash function could not be set up"));
            return std::nullopt;
        }
    }

    const int cores = availableCores();
    bool ok = false;
    bool started = false;
    unsigned char* ring = cores > 1 && file.size() >= kPipelineMinimum ? ringRegion() : nullptr;
    if (ring) {
        Pipeline pipeline(file, contexts, ring);
        ok = pipeline.run(ChecksumCalculator::hasherThreads(static_cast<int>(unique.size())), started);
    }
    if (!started)
        ok = hashSequential(file, contexts);
    if (!ok) {
        logFailure(file.error());
        return std::nullopt;
    }

    std::vector<QString> values;
    for (Context& context : contexts)
        values.push_back(finish(context.get()));
    return values;
}

} // namespace

QString ChecksumCalculator::toHex(const unsigned char* bytes, int length) {
    static constexpr char digits[] = "0123456789abcdef";
    QString text(length * 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (int i = 0; i < length; ++i) {
        *out++ = QLatin1Char(digits[bytes[i] >> 4]);
        *out++ = QLatin1Char(digits[bytes[i] & 0x0f]);
    }
    return text;
}

QString ChecksumCalculator::hashBytes(const QByteArray& data, Digest algorithm) {
    Context context = newContext(algorithm);
    if (!context)
        return {};
    EVP_DigestUpdate(context.get(), data.constData(), static_cast<size_t>(data.size()));
    return finish(context.get());
}

void ChecksumCalculator::setCoresForTesting(int cores) {
    s_coresOverride.store(std::max(0, cores), std::memory_order_relaxed);
}

int ChecksumCalculator::hasherThreads(int count) {
    return std::max(1, std::min(count, availableCores()));
}

std::optional<Checksum> ChecksumCalculator::checksum(const Location& location, Digest algorithm) {
    const std::optional<std::vector<QString>> values = hashFile(location, {algorithm});
    if (!values)
        return std::nullopt;
    return Checksum::make(algorithm, values->front());
}

std::optional<QList<Checksum>> ChecksumCalculator::checksumAll(const Location& location,
                                                               const QList<Digest>& algorithms) {
    std::vector<Digest> unique;
    for (Digest digest : algorithms) {
        if (std::find(unique.begin(), unique.end(), digest) == unique.end())
            unique.push_back(digest);
    }
    if (unique.empty())
        return QList<Checksum>();
    const std::optional<std::vector<QString>> values = hashFile(location, unique);
    if (!values)
        return std::nullopt;
    QList<Checksum> result;
    result.reserve(algorithms.size());
    for (Digest digest : algorithms) {
        const auto at = std::find(unique.begin(), unique.end(), digest) - unique.begin();
        result.append(Checksum::make(digest, (*values)[static_cast<size_t>(at)]));
    }
    return result;
}

} // namespace trevalin
