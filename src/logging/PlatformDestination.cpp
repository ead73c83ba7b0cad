#include "logging/PlatformDestination.h"

#include "logging/DeviceDetails.h"
#include "logging/PayloadCipher.h"
#include "logging/PlatformUploader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cstdio>

namespace trevalin {

namespace {

QString isoNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

} // namespace

int SendingPoints::weight(Level level) const {
    switch (level) {
    case Level::Verbose:
        return verbose;
    case Level::Debug:
        return debug;
    case Level::Info:
        return info;
    case Level::Warning:
        return warning;
    case Level::Error:
        return error;
    }
    return 0;
}

PlatformDestination::PlatformDestination(const PlatformCredentials& credentials, const QUrl& serverURL)
    : PlatformDestination(credentials.appID, credentials.appSecret, credentials.encryptionKey, serverURL) {}

PlatformDestination::PlatformDestination(const QString& appID, const QString& appSecret,
                                         const QString& encryptionKey, const QUrl& serverURL)
    : m_appID(appID)
    , m_appSecret(appSecret)
    , m_encryptionKey(encryptionKey)
    , m_serverURL(serverURL.isValid() && !serverURL.isEmpty() ? serverURL
                                                              : QUrl(QString::fromLatin1(defaultServerURL)))
    , m_folder(defaultFolderPath())
    , m_device(DeviceDetails::current())
    , m_shared(std::make_shared<Shared>()) {
    m_shared->sendingFilePath = sendingFilePath();
    loadAnalytics();
    // Entries an earlier run could not send go out with the first entry of this run.
    const QFileInfo entries(entriesFilePath());
    m_initialSending = QFileInfo::exists(sendingFilePath()) || (entries.exists() && entries.size() > 0);
}

PlatformDestination::~PlatformDestination() {
    bool started = false;
    {
        std::lock_guard lock(m_mutex);
        started = m_threadStarted;
    }
    if (started) {
        // The uploader (and its network manager) is deleted on its own thread as
        // the thread finishes (connected in startUploadThread).
        m_thread->quit();
        m_thread->wait();
    } else {
        delete m_uploader;
    }
    delete m_thread;
}

QString PlatformDestination::defaultFolderPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString name = executableName();
    if (name.isEmpty())
        return base;
    const QString folder = base + u'/' + name;
    if (!QDir().mkpath(folder)) {
        printLine(QStringLiteral("Warning! Could not create folder ~/Library/Application Support/") + name +
                  u'.');
        return base;
    }
    return folder;
}

QString PlatformDestination::entriesFilePath() const {
    return m_folder + u'/' + QLatin1String(entriesFileName);
}

QString PlatformDestination::sendingFilePath() const {
    return m_folder + u'/' + QLatin1String(sendingFileName);
}

QString PlatformDestination::analyticsFilePath() const {
    return m_folder + u'/' + QLatin1String(analyticsFileName);
}

QString PlatformDestination::analyticsUserName() const {
    std::lock_guard lock(m_mutex);
    return m_analyticsUserName;
}

void PlatformDestination::setAnalyticsUserName(const QString& name) {
    std::lock_guard lock(m_mutex);
    m_analyticsUserName = name;
    m_analytics.insert(QStringLiteral("userName"), name);
}

SendingPoints PlatformDestination::sendingPoints() const {
    std::lock_guard lock(m_mutex);
    return m_sendingPoints;
}

void PlatformDestination::setSendingPoints(const SendingPoints& points) {
    std::lock_guard lock(m_mutex);
    m_sendingPoints = points;
}

int PlatformDestination::effectiveThreshold() const {
    std::lock_guard lock(m_mutex);
    return std::clamp(m_sendingPoints.threshold, minAllowedThreshold, maxAllowedThreshold);
}

bool PlatformDestination::showNSLog() const {
    return m_shared->showNSLog.load();
}

void PlatformDestination::setShowNSLog(bool value) {
    m_shared->showNSLog.store(value);
}

int PlatformDestination::points() const {
    std::lock_guard lock(m_mutex);
    return m_points;
}

bool PlatformDestination::sendingInProgress() const {
    return m_shared->sendingInProgress.load();
}

bool PlatformDestination::initialSending() const {
    std::lock_guard lock(m_mutex);
    return m_initialSending;
}

QString PlatformDestination::uuid() const {
    std::lock_guard lock(m_mutex);
    return m_analytics.value(QStringLiteral("uuid")).toString();
}

QJsonObject PlatformDestination::analytics() const {
    std::lock_guard lock(m_mutex);
    return m_analytics;
}

int PlatformDestination::transferTimeoutMs() const {
    std::lock_guard lock(m_mutex);
    return m_transferTimeoutMs;
}

void PlatformDestination::setTransferTimeoutMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_transferTimeoutMs = ms;
}

void PlatformDestination::loadAnalytics() {
    QJsonObject record;
    QFile file(analyticsFilePath());
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        if (document.isObject())
            record = document.object();
        file.close();
    }

    const QString now = isoNow();
    const QString version = QCoreApplication::applicationVersion();
    if (record.value(QStringLiteral("uuid")).toString().isEmpty()) {
        record = QJsonObject();
        record.insert(QStringLiteral("uuid"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        record.insert(QStringLiteral("firstStart"), now);
        record.insert(QStringLiteral("starts"), 0);
        record.insert(QStringLiteral("userName"), QString());
        record.insert(QStringLiteral("firstAppVersion"), version);
    }
    record.insert(QStringLiteral("starts"), record.value(QStringLiteral("starts")).toInt() + 1);
    record.insert(QStringLiteral("lastStart"), now);
    if (!record.contains(QStringLiteral("userName")))
        record.insert(QStringLiteral("userName"), QString());
    if (!record.contains(QStringLiteral("firstAppVersion")))
        record.insert(QStringLiteral("firstAppVersion"), version);
    record.insert(QStringLiteral("appVersion"), version);
    record.insert(QStringLiteral("appBuild"), version);

    QSaveFile out(analyticsFilePath());
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(record).toJson(QJsonDocument::Compact)) < 0 || !out.commit()) {
        printLine(QStringLiteral("Platform destination could not write to file ") + analyticsFilePath());
    }

    std::lock_guard lock(m_mutex);
    m_analytics = record;
    m_analyticsUserName = record.value(QStringLiteral("userName")).toString();
}

std::optional<QString> PlatformDestination::send(const LogEntry& entry) {
    std::optional<QString> line = BaseDestination::send(entry);
    if (!line)
        return line;
    storeEntry(entry, *line);

    bool due = false;
    {
        std::lock_guard lock(m_mutex);
        m_points += m_sendingPoints.weight(entry.level);
        const int threshold = std::clamp(m_sendingPoints.threshold, minAllowedThreshold, maxAllowedThreshold);
        if ((m_points >= threshold || m_initialSending) && !m_shared->sendingInProgress.load()) {
            m_points = 0;
            due = true;
        }
    }
    if (due) {
        narrate(*m_shared, QStringLiteral("Platform: reset points to 0"));
        sendNow();
    }
    return line;
}

void PlatformDestination::storeEntry(const LogEntry& entry, const QString& line) {
    QJsonObject object;
    object.insert(QStringLiteral("timestamp"), double(entry.timeUs) / 1e6);
    object.insert(QStringLiteral("level"), int(entry.level));
    object.insert(QStringLiteral("message"), line);
    object.insert(QStringLiteral("thread"), entry.thread);
    object.insert(QStringLiteral("fileName"), entry.file.section(u'/', -1));
    object.insert(QStringLiteral("function"), entry.function);
    object.insert(QStringLiteral("line"), entry.line);
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);

    const QString path = entriesFilePath();
    narrate(*m_shared,
            QStringLiteral("Platform: saving '") + QString::fromUtf8(json) + QStringLiteral("' to ") + path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(json + '\n') != json.size() + 1)
        printLine(QStringLiteral("Platform destination could not write to file ") + path);
}

std::optional<QJsonArray> PlatformDestination::prepareBatch() {
    const QString sending = sendingFilePath();
    const QString entries = entriesFilePath();
    // At most two rounds: a left-over sending file, then the entries file.
    for (int round = 0; round < 2; ++round) {
        if (!QFileInfo::exists(sending)) {
            if (!QFileInfo::exists(entries))
                return std::nullopt;
            if (!QFile::rename(entries, sending)) {
                printLine(QStringLiteral("Platform: Platform destination could not rename json file."));
                return std::nullopt;
            }
        }

        QFile file(sending);
        if (!file.open(QIODevice::ReadOnly)) {
            // Kept for a later attempt.
            printLine(QStringLiteral("Platform destination could not read file ") + sending);
            return std::nullopt;
        }
        const QList<QByteArray> lines = file.readAll().split('\n');
        file.close();

        QJsonArray parsed;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray text = lines.at(i).trimmed();
            if (text.isEmpty())
                continue;
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(text, &error);
            if (error.error != QJsonParseError::NoError || !document.isObject()) {
                printLine(
                    QStringLiteral("Error! Could not parse line %1 in file %2").arg(i + 1).arg(sending));
                continue;
            }
            parsed.append(document.object());
        }
        if (!parsed.isEmpty())
            return parsed;
        // Nothing sendable in it: drop it so it cannot block every later batch.
        QFile::remove(sending);
    }
    return std::nullopt;
}

void PlatformDestination::sendNow() {
    bool expected = false;
    if (!m_shared->sendingInProgress.compare_exchange_strong(expected, true))
        return;
    QJsonObject analytics;
    int timeoutMs = 0;
    {
        std::lock_guard lock(m_mutex);
        m_initialSending = false;
        analytics = m_analytics;
        timeoutMs = m_transferTimeoutMs;
    }
    auto abandon = [this] { m_shared->sendingInProgress.store(false); };

    const std::optional<QJsonArray> batch = prepareBatch();
    if (!batch) {
        abandon();
        return;
    }
    const int count = int(batch->size());

    // The device object carries the analytics record too, so the platform can tell
    // installations apart; the device keys win on a clash.
    QJsonObject device = analytics;
    for (auto it = m_device.begin(); it != m_device.end(); ++it)
        device.insert(it.key(), it.value());
    QJsonObject payload;
    payload.insert(QStringLiteral("device"), device);
    payload.insert(QStringLiteral("entries"), *batch);
    const QByteArray json = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    if (json.isEmpty()) {
        printLine(QStringLiteral("Logger could not create JSON from dict."));
        abandon();
        return;
    }

    narrate(*m_shared, QStringLiteral("Encrypting %1 log entries ...").arg(count));
    const QByteArray iv = PayloadCipher::randomIV();
    const std::optional<QByteArray> cipher = PayloadCipher::encrypt(json, m_encryptionKey.toUtf8(), iv);
    if (!cipher) {
        printLine(QStringLiteral("an error occured while encrypting"));
        abandon();
        return;
    }

    narrate(
        *m_shared,
        QStringLiteral("Sending %1 encrypted log entries to %2 ...").arg(count).arg(m_serverURL.toString()));
    narrate(*m_shared, QStringLiteral("Platform: assembling request ..."));
    QJsonObject server;
    server.insert(QStringLiteral("payload"), QString::fromLatin1(iv + cipher->toBase64()));
    const QByteArray body = QJsonDocument(server).toJson(QJsonDocument::Compact);
    if (body.isEmpty()) {
        printLine(QStringLiteral("Platform: Error! Could not create JSON for server payload."));
        abandon();
        return;
    }
    narrate(*m_shared, QStringLiteral("sending params: ") + QString::fromUtf8(body));

    UploadRequest request;
    request.url = m_serverURL;
    request.authorization = basicAuthHeader(m_appID, m_appSecret);
    request.body = body;
    request.transferTimeoutMs = timeoutMs;
    request.done = [shared = m_shared, count](const UploadResult& result) {
        finishUpload(shared, count, result);
    };

    startUploadThread();
    narrate(*m_shared, QStringLiteral("Platform: sending ..."));
    PlatformUploader* uploader = m_uploader;
    const bool queued = QMetaObject::invokeMethod(
        uploader, [uploader, request] { uploader->post(request); }, Qt::QueuedConnection);
    if (!queued) {
        printLine(
            QStringLiteral("Error! Could not send entries to server. The upload thread is not available."));
        abandon();
    }
}

void PlatformDestination::startUploadThread() {
    std::lock_guard lock(m_mutex);
    if (m_threadStarted)
        return;
    if (!m_thread) {
        m_thread = new QThread();
        m_thread->setObjectName(queueLabel() + QStringLiteral("-upload"));
        m_uploader = new PlatformUploader();
        m_uploader->moveToThread(m_thread);
        QObject::connect(m_thread, &QThread::finished, m_uploader, &QObject::deleteLater);
    }
    m_thread->start();
    m_threadStarted = true;
}

void PlatformDestination::finishUpload(const std::shared_ptr<Shared>& shared, int count,
                                       const UploadResult& result) {
    narrate(*shared, QStringLiteral("Platform: received response from server"));
    if (result.status == 0) {
        printLine(QStringLiteral("Error! Could not send entries to server. ") + result.errorString);
    } else if (result.status < 200 || result.status > 299) {
        // The sending file stays and goes out first with the next upload.
        printLine(
            QStringLiteral("Error! Sending entries to server failed with status code %1").arg(result.status));
    } else {
        narrate(*shared, QStringLiteral("Sent %1 encrypted log entries to server, received ok: %2")
                             .arg(count)
                             .arg(result.status == 200 ? QStringLiteral("true") : QStringLiteral("false")));
        if (QFileInfo::exists(shared->sendingFilePath) && !QFile::remove(shared->sendingFilePath))
            printLine(QStringLiteral("Warning! Could not delete file ") + shared->sendingFilePath);
    }
    shared->sendingInProgress.store(false);
}

void PlatformDestination::narrate(const Shared& shared, const QString& text) {
    if (!shared.showNSLog.load())
        return;
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QByteArray PlatformDestination::basicAuthHeader(const QString& appID, const QString& appSecret) {
    return QByteArrayLiteral("Basic ") + (appID + u':' + appSecret).toUtf8().toBase64();
}

} // namespace trevalin
