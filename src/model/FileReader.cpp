#include "model/FileReader.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trevalin {

namespace {

constexpr off_t kCacheAdviceMinimum = 1 << 20; // smaller files get no cache advice at all
constexpr quint64 kBlocksPerGranule = 2;       // blocks in the 2 MiB unit the page cache is dropped in
constexpr size_t kBlockSize = FileReader::blockSize;

QString systemReason(int error, const QString& path) {
    return QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + path;
}

} // namespace

FileReader::FileReader(const QString& path)
    : m_path(path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Judge the kind before opening: a FIFO or device is never opened.
    if (::stat(name.constData(), &st) != 0) {
        m_error = systemReason(errno, path);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = QStringLiteral("Not a regular file: ") + path;
        return;
    }
    // O_NONBLOCK keeps the open itself from blocking should the entry have been
    // replaced by a FIFO in the meantime; fstat below refuses it then.
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = systemReason(errno, path);
        return;
    }
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = QStringLiteral("Not a regular file: ") + path;
        close();
        return;
    }
    // Regular files ignore O_NONBLOCK; clear it anyway so reads are plain blocking reads.
    // The descriptor has no other status flag to keep.
    ::fcntl(m_fd, F_SETFL, 0);
    m_size = static_cast<quint64>(st.st_size);
    if (st.st_size >= kCacheAdviceMinimum) {
        m_advise = true;
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_RANDOM);
        mapForResidency();
    }
}

FileReader::~FileReader() {
    close();
}

qint64 FileReader::readBlock(quint64 index, unsigned char* buffer) {
    const quint64 offset = index * kBlockSize;
    const size_t wanted = static_cast<size_t>(std::min<quint64>(kBlockSize, m_size - offset));
    if (m_advise)
        prepareAhead(index);
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::pread(m_fd, buffer + got, wanted - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = systemReason(errno, m_path);
            return -1;
        }
        if (n == 0) {
            m_error = QStringLiteral("The file became shorter while it was read: ") + m_path;
            return -1;
        }
        got += static_cast<size_t>(n);
    }
    dropIfNew(index);
    return static_cast<qint64>(wanted);
}

void FileReader::close() {
    unmap();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

// Hashing a file must neither fill the page cache with it nor evict what other
// programs keep there, so only the pages this read brings in are dropped afterwards.
// Which blocks were cached already is asked a batch at a time, ahead of the reads. The
// kernel's own read-ahead is switched off for this file, since it would bring in pages
// before they were asked about; instead the blocks just ahead of the read position are
// requested explicitly, and only once their answer is known. No query of the whole
// file then stands between opening a large file and its first read.
void FileReader::mapForResidency() {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0 || kBlockSize % static_cast<size_t>(page) != 0)
        return;
    void* map = ::mmap(nullptr, m_size, PROT_READ, MAP_SHARED, m_fd, 0);
    if (map == MAP_FAILED)
        return;
    m_map = map;
    m_pageSize = static_cast<size_t>(page);
    m_cached.assign(blockCount(), false);
}

// Before block `index` is read: the blocks up to kAhead past it have their answer and
// have been requested from the disk.
void FileReader::prepareAhead(quint64 index) {
    constexpr quint64 kAhead = 8;           // blocks requested ahead of the read position
    constexpr quint64 kBlocksPerQuery = 32; // one byte per page: 8 KiB of answer per query
    const quint64 blocks = blockCount();
    const quint64 target = std::min(blocks, index + kAhead + 1);
    while (m_map && m_known < target) {
        const quint64 first = m_known;
        const quint64 offset = first * kBlockSize;
        const size_t length =
            static_cast<size_t>(std::min<quint64>(kBlocksPerQuery * kBlockSize, m_size - offset));
        const size_t pages = (length + m_pageSize - 1) / m_pageSize;
        m_vector.resize(pages);
        if (::mincore(static_cast<char*>(m_map) + offset, length, m_vector.data()) != 0) {
            unmap(); // unknown from here on: the rest counts as not cached
            break;
        }
        const size_t pagesPerBlock = kBlockSize / m_pageSize;
        for (size_t start = 0; start < pages; start += pagesPerBlock) {
            const auto begin = m_vector.begin() + static_cast<qsizetype>(start);
            const auto end =
                m_vector.begin() + static_cast<qsizetype>(std::min(pages, start + pagesPerBlock));
            m_cached[first + start / pagesPerBlock] =
                std::all_of(begin, end, [](unsigned char v) { return (v & 1) != 0; });
        }
        m_known = first + (length + kBlockSize - 1) / kBlockSize;
        if (m_known >= blocks)
            unmap();
    }
    if (m_requested < target) {
        const off_t from = static_cast<off_t>(m_requested * kBlockSize);
        const off_t to = static_cast<off_t>(std::min<quint64>(target * kBlockSize, m_size));
        ::posix_fadvise(m_fd, from, to - from, POSIX_FADV_WILLNEED);
        m_requested = target;
    }
}

void FileReader::unmap() {
    if (m_map)
        ::munmap(m_map, m_size);
    m_map = nullptr;
}

// Drops what reading block `index` brought into the page cache. The page cache may
// hold a file in folios of up to 2 MiB, aligned to their size, and a folio is only
// dropped when the whole of it lies in the range: so pages are dropped a 2 MiB
// granule at a time, once its last block is read, and only when none of its blocks
// was cached before.
void FileReader::dropIfNew(quint64 index) {
    if (!m_advise)
        return;
    const quint64 last = blockCount() - 1;
    if ((index + 1) % kBlocksPerGranule != 0 && index != last)
        return;
    const quint64 first = index - index % kBlocksPerGranule;
    for (quint64 block = first; block <= index; ++block) {
        if (block < m_cached.size() && m_cached[block])
            return;
    }
    const quint64 from = first * kBlockSize;
    const quint64 to = std::min<quint64>((index + 1) * kBlockSize, m_size);
    ::posix_fadvise(m_fd, static_cast<off_t>(from), static_cast<off_t>(to - from), POSIX_FADV_DONTNEED);
}

} // namespace trevalin
