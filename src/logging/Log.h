// Log: the application's logging configuration. Creating one fixes the line
// format, creates the console, platform upload and file destinations and installs
// the ones its destination list names into the shared Logger, then prints which
// destinations are in use (and the log file's path) to standard output. The
// start-up configuration is [Console, File] with the built-in credentials: the
// upload destination is created (its folder and analytics record are updated) but
// never installed.
//
// Thread-safety: create it once, before anything logs; afterwards its getters may
// be called from any thread (the value never changes).
#pragma once

#include "logging/PlatformCredentials.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace trevalin {

class ConsoleDestination;
class FileDestination;
class PlatformDestination;

class Log {
public:
    enum class Outputs { Console, Cloud, File };

    // The application's line format: local date and time to the millisecond, the
    // level's colour, the level word, ": " and the message.
    static constexpr const char* logFormat = "$Dyyyy-MM-dd HH:mm:ss.SSS$d $C$L$c: $M";
    // The application's identity, which names the log file.
    static constexpr const char* bundleIdentifier = "org.corvane.Trevalin";

    // Performs the whole installation. `url` is kept as given; it changes neither
    // the log file's location nor the upload endpoint.
    Log(const QList<Outputs>& destinations, const PlatformCredentials& credentials,
        const std::optional<QUrl>& url = std::nullopt);

    // [Console, File]: what the start-up step installs.
    static QList<Outputs> startupDestinations() { return {Outputs::Console, Outputs::File}; }
    // "Console", "Cloud", "File".
    static QString rawValue(Outputs output);
    // "org.corvane.Trevalin.log" in the application-data folder.
    static QString logFilePath();

    const QList<Outputs>& destinations() const { return m_destinations; }
    const PlatformCredentials& credentials() const { return m_credentials; }
    const std::optional<QUrl>& url() const { return m_url; }
    // Whether the platform upload destination was installed.
    bool cloudStatus() const { return m_cloudStatus; }

    const std::shared_ptr<ConsoleDestination>& console() const { return m_console; }
    const std::shared_ptr<PlatformDestination>& cloud() const { return m_cloud; }
    const std::shared_ptr<FileDestination>& file() const { return m_file; }

private:
    QList<Outputs> m_destinations;
    PlatformCredentials m_credentials;
    std::optional<QUrl> m_url;
    bool m_cloudStatus = false;
    std::shared_ptr<ConsoleDestination> m_console;
    std::shared_ptr<PlatformDestination> m_cloud;
    std::shared_ptr<FileDestination> m_file;
};

} // namespace trevalin
