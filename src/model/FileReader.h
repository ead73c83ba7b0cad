// FileReader: one file opened for hashing and read in 1 MiB blocks. Only regular files
// are opened: the kind is judged before the open (a FIFO or device is never opened) and
// again on the open descriptor. For files of 1 MiB and more the reader keeps the page
// cache as it found it: the kernel's read-ahead is switched off, the blocks just ahead
// of the read are requested from the disk explicitly, and the pages a read brings in
// are dropped again afterwards, while pages that were cached before are left alone.
//
// Thread-safety: none; one thread reads at a time (the hashing pipeline's reader).
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace trevalin {

class FileReader {
public:
    // The bytes of one block.
    static constexpr std::size_t blockSize = 1 << 20;

    // Opens `path`; isOpen() is false (and error() says why) when it cannot be opened or
    // is not a regular file.
    explicit FileReader(const QString& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const QString& error() const { return m_error; }
    // The size the file had when it was opened.
    quint64 size() const { return m_size; }
    quint64 blockCount() const { return (m_size + blockSize - 1) / blockSize; }

    // Reads block `index` (the bytes [index * blockSize, +blockSize) clipped to the size the
    // file had when opened) into `buffer`. Returns its length, or -1 on failure (error() says
    // why); a file that ends early (truncated while being read) is a failure.
    qint64 readBlock(quint64 index, unsigned char* buffer);

private:
    void close();
    void mapForResidency();
    void prepareAhead(quint64 index);
    void unmap();
    void dropIfNew(quint64 index);

    QString m_path;
    QString m_error;
    int m_fd = -1;
    quint64 m_size = 0;
    bool m_advise = false;
    std::vector<bool> m_cached; // per block: all its pages were cached before we read
    quint64 m_known = 0;        // blocks [0, m_known) have their m_cached answer
    quint64 m_requested = 0;    // blocks [0, m_requested) have been asked of the disk
    void* m_map = nullptr;      // the file mapped for residency queries, until all are known
    std::size_t m_pageSize = 0;
    std::vector<unsigned char> m_vector; // mincore's answer
};

} // namespace trevalin
