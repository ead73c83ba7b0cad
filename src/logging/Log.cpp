#include "logging/Log.h"

#include "logging/BaseDestination.h"
#include "logging/ConsoleDestination.h"
#include "logging/FileDestination.h"
#include "logging/Logger.h"
#include "logging/PlatformDestination.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace trevalin {

Log::Log(const QList<Outputs>& destinations, const PlatformCredentials& credentials,
         const std::optional<QUrl>& url)
    : m_destinations(destinations)
    , m_credentials(credentials)
    , m_url(url)
    , m_console(std::make_shared<ConsoleDestination>())
    , m_cloud(std::make_shared<PlatformDestination>(credentials))
    , m_file(std::make_shared<FileDestination>()) {
    const QString format = QString::fromLatin1(logFormat);

    if (m_destinations.contains(Outputs::Console)) {
        m_console->setFormat(format);
        Logger::addDestination(m_console);
    }
    if (m_destinations.contains(Outputs::Cloud)) {
        m_cloud->setFormat(format);
        Logger::addDestination(m_cloud);
        m_cloudStatus = true;
    }
    if (m_destinations.contains(Outputs::File)) {
        const QString path = logFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_file->setLogFilePath(path);
        m_file->setFormat(format);
        Logger::addDestination(m_file);
    }

    QString names;
    for (Outputs output : m_destinations)
        names += rawValue(output) + u' ';
    BaseDestination::printLine(QStringLiteral("Logging to destinations: ") + names);
    if (!m_destinations.isEmpty() && m_destinations.contains(Outputs::File))
        BaseDestination::printLine(QStringLiteral("Local log output file path: ") + m_file->logFilePath());
}

QString Log::rawValue(Outputs output) {
    switch (output) {
    case Outputs::Console:
        return QStringLiteral("Console");
    case Outputs::Cloud:
        return QStringLiteral("Cloud");
    case Outputs::File:
        return QStringLiteral("File");
    }
    return {};
}

QString Log::logFilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder + u'/' + QLatin1String(bundleIdentifier) + QStringLiteral(".log");
}

} // namespace trevalin
