// ExportFile: writes an export (the CSV text) to a location the user named, without
// destroying what is there. Symbolic links are followed to their final target, so a
// link stays a link and its target receives the text. A target that exists and is not
// a regular file (a FIFO, a character device) is opened for writing and written
// directly: never truncated by replacement, never renamed over. A regular target, or a
// location where nothing exists yet, is written atomically (a temporary file in the
// target's own folder, then renamed over it), so a failed write leaves the old file.
//
// Thread-safety: stateless; safe from any thread. Writing into a FIFO blocks until a
// reader opens it, as any writer does.
#pragma once

#include <QByteArray>
#include <QString>

#include <exception>
#include <string>

namespace trevalin {

// Why an export could not be written: the location (as named) and the cause.
class ExportFileError : public std::exception {
public:
    ExportFileError(const QString& path, const QString& cause)
        : m_path(path)
        , m_cause(cause)
        , m_what((path + QStringLiteral(": ") + cause).toStdString()) {}

    const QString& path() const noexcept { return m_path; }
    const QString& cause() const noexcept { return m_cause; }
    // "<path>: <cause>".
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_path;
    QString m_cause;
    std::string m_what;
};

class ExportFile {
public:
    ExportFile() = delete;

    // The location `path` finally names once every symbolic link on its last component
    // is followed (a relative link target counts from the link's folder). A location
    // where nothing exists is its own target, so a dangling link resolves to the file
    // it would create. Throws ExportFileError when the chain of links is too long or a
    // link cannot be read.
    static QString resolveTarget(const QString& path);

    // Writes `data` to `path` as described above. Throws ExportFileError naming `path`
    // and the cause (a folder, a write or rename that failed, a link loop).
    static void write(const QString& path, const QByteArray& data);
};

} // namespace trevalin
