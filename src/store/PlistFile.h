// PlistFile: the file side of the property-list databases — reading a whole file,
// replacing it atomically — and the test of which texts a property list can carry.
//
// Stateless; every function may be called from any thread. Two writers of the same
// path must be serialised by their owner.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>

class QIODevice;

namespace trevalin {

class PlistWriter;

class PlistFile {
public:
    // Writes a complete property list to `path` through `body` (which writes the root
    // value) and replaces the file atomically: a temporary file in the same folder is
    // written, flushed to disk and renamed over `path`. The folder is created when
    // missing. On any failure the old file is left untouched and PlistError is thrown.
    static void write(const QString& path, const std::function<void(PlistWriter&)>& body);
    // The whole file. Throws PlistError when it cannot be opened or read.
    static QByteArray read(const QString& path);
    // Opens `path` for reading and hands the open file to `decode`, which reads what it
    // needs. Throws PlistError when the file cannot be opened, and whatever `decode` throws.
    static void readWith(const QString& path, const std::function<void(QIODevice*)>& decode);

    // True when a property list can carry `text` and read it back unchanged: no control
    // character other than tab, LF and CR, no unpaired surrogate, no U+FFFE/U+FFFF, and
    // no U+FFFD (the mark left where a file name was not valid UTF-8: such a name cannot
    // be given back to the file system).
    static bool isPropertyListSafe(QStringView text);
    // `text` with every control character shown as "\xNN" (for log lines).
    static QString printable(QStringView text);
};

} // namespace trevalin
