// PlistDataFile: the file side of a database kept in one property-list file (the
// content database, the security bookmarks): the steps of loading and saving it that
// do not depend on what the file holds.
//   load: a missing file is reported and thrown as FileSystemException NotReadable; a
//         file that cannot be read or decoded is reported, set aside (CorruptFile) so
//         the next save cannot overwrite it, and handed to the owner, which throws its
//         own exception.
//   save: under the file lock, a snapshot of the owner's map is taken under the owner's
//         lock together with its modification generation; the snapshot is written
//         atomically through PlistFile; then, under the owner's lock again, the owner's
//         save flag is cleared only when the generation is still the one the snapshot
//         was taken at, so a change made meanwhile is written by the next save.
//   remove: under the file lock, deletes the file. Until the owner's map changes again,
//         a save writes nothing (and clears the save flag): a save queued before the
//         removal, or the one at shutdown, never brings the removed file back.
//
// Thread-safety: load() and save() may be called from any thread. Saves are serialised
// by m_fileMutex; the owner's generation is read only under the owner's mutex.
#pragma once

#include "store/StoreHooks.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

class QIODevice;

namespace trevalin {

class PlistError;

class PlistWriter;

class PlistDataFile {
public:
    struct LoadSteps {
        QString function; // the owner's load() as named in log lines and in CorruptFile's
        QString missing;  // the warning when there is no file (with its tag)
        QString failed;   // the error when it cannot be read or decoded (with its tag)
        // Reads the open file and keeps what it decoded; throws PlistError.
        std::function<void(QIODevice*)> decode;
        // Throws the owner's load error with the reason and the aside path (empty when the
        // file stays where it is).
        std::function<void(const QString& reason, const QString& aside)> fail;
    };

    struct SaveSteps {
        // Copies the owner's map; runs under the owner's mutex.
        std::function<void()> snapshot;
        // Optional: runs after the owner's mutex is released, before the file is written.
        std::function<void()> screen;
        // Writes the root value of the document.
        std::function<void(PlistWriter&)> encode;
        // Reports the failed write and throws the owner's save error (the flag stays set).
        std::function<void(const PlistError&)> fail;
        QString saved; // the info line once the file is written (with its tag)
    };

    // `mutex` is the owner's lock over its map and `generation`, which the owner bumps
    // with every change; `subsystem` names the owner's save flag.
    PlistDataFile(const QString& path, StoreHooks::SubSystem subsystem, std::mutex& mutex,
                  const std::uint64_t& generation);

    const QString& path() const { return m_path; }

    // Reads the file through steps.decode. With `setAside` false (a reader that must
    // change nothing) an unreadable file stays where it is.
    void load(bool setAside, const LoadSteps& steps) const;
    // Writes the owner's snapshot and clears its save flag unless the map changed meanwhile.
    // Nothing is written while the map is as it was when the file was removed.
    void save(const SaveSteps& steps);
    // Deletes the file; a file already absent counts as deleted. Returns false, with the
    // reason in `error`, when it is still there.
    bool remove(QString* error = nullptr);

private:
    const QString m_path;
    const StoreHooks::SubSystem m_subsystem;
    std::mutex& m_ownerMutex;
    const std::uint64_t& m_generation; // guarded by m_ownerMutex
    std::mutex m_fileMutex;            // serialises writers of m_path
    // The owner's generation when the file was removed; guarded by m_ownerMutex.
    std::optional<std::uint64_t> m_removedAt;
};

} // namespace trevalin
