#include "store/PlistDataFile.h"

#include "logging/Logger.h"
#include "model/FileSystemError.h"
#include "store/CorruptFile.h"
#include "store/PlistError.h"
#include "store/PlistFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace trevalin {

PlistDataFile::PlistDataFile(const QString& path, StoreHooks::SubSystem subsystem, std::mutex& mutex,
                             const std::uint64_t& generation)
    : m_path(path)
    , m_subsystem(subsystem)
    , m_ownerMutex(mutex)
    , m_generation(generation) {}

void PlistDataFile::load(bool setAside, const LoadSteps& steps) const {
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink()) {
        TLOG_WARNING(steps.missing);
        throw FileSystemException(FileSystemError::NotReadable, m_path);
    }
    try {
        PlistFile::readWith(m_path, steps.decode);
    } catch (const PlistError& error) {
        TLOG_ERROR(steps.failed);
        TLOG_ERROR(error.message());
        // Keep what the user had: the next save must not overwrite it.
        const QString aside = setAside ? CorruptFile::setAside(m_path, steps.function) : QString();
        steps.fail(error.message(), aside);
        throw; // a fail step that returns still leaves the load failed
    }
}

void PlistDataFile::save(const SaveSteps& steps) {
    std::lock_guard fileLock(m_fileMutex);
    std::uint64_t generation;
    {
        std::lock_guard lock(m_ownerMutex);
        generation = m_generation;
        // Removed on purpose and unchanged since: writing it would undo the removal.
        if (m_removedAt == generation) {
            StoreHooks::setFlag(m_subsystem, StoreHooks::Flag::save, false);
            return;
        }
        steps.snapshot();
    }
    if (steps.screen)
        steps.screen();
    try {
        PlistFile::write(m_path, steps.encode);
    } catch (const PlistError& error) {
        steps.fail(error);
        throw;
    }
    TLOG_INFO(steps.saved);
    // A change made after the snapshot keeps the flag set, so the next save writes it.
    // Compared and cleared under the owner's lock: an owner that reads the flag under it
    // too never leaves a change with the flag cleared.
    std::lock_guard lock(m_ownerMutex);
    if (m_generation == generation)
        StoreHooks::setFlag(m_subsystem, StoreHooks::Flag::save, false);
}

bool PlistDataFile::remove(QString* error) {
    std::lock_guard fileLock(m_fileMutex);
    std::uint64_t generation;
    {
        std::lock_guard lock(m_ownerMutex);
        generation = m_generation;
    }
    const QByteArray path = QFile::encodeName(m_path);
    if (::unlink(path.constData()) != 0) {
        const int code = errno;
        if (code != ENOENT) {
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(code)) + QStringLiteral(": ") + m_path;
            return false;
        }
    }
    std::lock_guard lock(m_ownerMutex);
    m_removedAt = generation;
    // A change made while the file was being removed keeps its flag: the next save writes it.
    if (m_generation == generation)
        StoreHooks::setFlag(m_subsystem, StoreHooks::Flag::save, false);
    return true;
}

} // namespace trevalin
