// PlatformDestination: a log destination that collects entries in local JSON files
// and uploads them in batches, AES-256 encrypted, to the remote log platform.
//
// Files (in the application-data folder, inside a sub-folder named after the
// executable): "platform_entries.json" collects one JSON object per line;
// "platform_entries_sending.json" holds the batch being uploaded (the entries file
// renamed); "platform_analytics.json" keeps the installation record (uuid, number
// of starts, first and last start, versions).
//
// Each stored entry adds its level's weight to `points`; when the points reach the
// threshold (clamped to 1...1000) and no upload is in flight, the points go back
// to 0 and the batch is uploaded: a sending file left by an earlier attempt first,
// otherwise the entries file renamed to the sending file. The sending file is
// deleted only after the server answered with a 2xx status; on any failure it
// stays and is sent again by the next upload, while new entries keep collecting in
// the entries file. When entries from an earlier run are on disk at construction,
// the first stored entry uploads them without waiting for the threshold.
//
// Upload: {"device": device details and the analytics record, "entries": [...]}
// as compact JSON, encrypted by PayloadCipher (AES-256-CBC, PKCS#7 padding) under
// the UTF-8 bytes of the 32-character key and a fresh IV of 16 random alphanumeric
// characters, sent as {"payload": IV + Base64(ciphertext)} in a POST with
// "Authorization: Basic " + Base64(appID + ":" + appSecret). The request runs on
// the destination's own QThread; failures are printed to standard output and
// never reach the logging caller.
//
// Thread-safety: all members may be called from any thread. Entries are stored and
// batches prepared on the destination's queue; responses are handled on the
// upload thread. Settings and counters are guarded by m_mutex; the upload flag is
// shared with the upload thread (see Shared).
#pragma once

#include "logging/BaseDestination.h"
#include "logging/PlatformCredentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace trevalin {

class PlatformUploader;
struct UploadResult;

// The weight each level adds to the points, and the points at which a batch is sent.
struct SendingPoints {
    int verbose = 0;
    int debug = 1;
    int info = 5;
    int warning = 8;
    int error = 10;
    int threshold = 10;

    int weight(Level level) const;
};

class PlatformDestination : public BaseDestination {
public:
    // The platform's entries endpoint.
    static constexpr const char* defaultServerURL = "https://logs.corvane.org/api/v1/app/";
    static constexpr const char* entriesFileName = "platform_entries.json";
    static constexpr const char* sendingFileName = "platform_entries_sending.json";
    static constexpr const char* analyticsFileName = "platform_analytics.json";
    static constexpr int minAllowedThreshold = 1;
    static constexpr int maxAllowedThreshold = 1000;

    // Creates the folder and reads or creates the analytics record (a new uuid on
    // the first start; starts incremented and lastStart set on every start), then
    // writes it back. An empty or invalid serverURL means defaultServerURL.
    PlatformDestination(const QString& appID, const QString& appSecret, const QString& encryptionKey,
                        const QUrl& serverURL = QUrl());
    explicit PlatformDestination(const PlatformCredentials& credentials, const QUrl& serverURL = QUrl());
    // Stops the upload thread; an upload still in flight is abandoned and its batch
    // stays on disk for the next start.
    ~PlatformDestination() override;

    QString appID() const { return m_appID; }
    QString appSecret() const { return m_appSecret; }
    QString encryptionKey() const { return m_encryptionKey; }
    QUrl serverURL() const { return m_serverURL; }

    QString analyticsUserName() const;
    // Also recorded as "userName" in the analytics record.
    void setAnalyticsUserName(const QString& name);
    SendingPoints sendingPoints() const;
    void setSendingPoints(const SendingPoints& points);
    // The threshold in use: sendingPoints().threshold clamped to 1...1000.
    int effectiveThreshold() const;
    // Narrates the destination's own work on standard error, prefixed "Platform: ".
    bool showNSLog() const;
    void setShowNSLog(bool value);
    int points() const;
    bool sendingInProgress() const;
    bool initialSending() const;
    // The installation identifier from the analytics record.
    QString uuid() const;
    QJsonObject analytics() const;
    // "os", "osVersion", "hostName", "deviceName", "deviceModel" (see DeviceDetails).
    QJsonObject deviceDetails() const { return m_device; }

    QString folderPath() const { return m_folder; }
    QString entriesFilePath() const;
    QString sendingFilePath() const;
    QString analyticsFilePath() const;

    // How long an upload may go without any transfer before it counts as failed.
    int transferTimeoutMs() const;
    void setTransferTimeoutMs(int ms);

    // Renders the entry, stores it and, when due, starts an upload.
    std::optional<QString> send(const LogEntry& entry) override;

    // "Basic " + Base64(appID + ":" + appSecret).
    static QByteArray basicAuthHeader(const QString& appID, const QString& appSecret);
    // The folder of the three files: the application-data folder joined with the
    // executable's name.
    static QString defaultFolderPath();

private:
    // What the completion of an upload needs. Shared with it, so the completion never
    // touches the destination itself and may safely run after its destruction began.
    struct Shared {
        std::atomic<bool> sendingInProgress{false};
        std::atomic<bool> showNSLog{false};
        QString sendingFilePath; // immutable after construction
    };

    void loadAnalytics();
    void storeEntry(const LogEntry& entry, const QString& line);
    // Uploads the pending batch; runs on the destination's queue.
    void sendNow();
    // Reads the sending file (moving the entries file there first when none is
    // left); no value when there is nothing to send.
    std::optional<QJsonArray> prepareBatch();
    void startUploadThread();
    static void finishUpload(const std::shared_ptr<Shared>& shared, int count, const UploadResult& result);
    static void narrate(const Shared& shared, const QString& text);

    const QString m_appID;
    const QString m_appSecret;
    const QString m_encryptionKey;
    const QUrl m_serverURL;
    const QString m_folder;
    QJsonObject m_device; // immutable after construction

    mutable std::mutex m_mutex;
    QString m_analyticsUserName;     // guarded by m_mutex
    SendingPoints m_sendingPoints;   // guarded by m_mutex
    int m_points = 0;                // guarded by m_mutex
    bool m_initialSending = true;    // guarded by m_mutex
    QJsonObject m_analytics;         // guarded by m_mutex
    int m_transferTimeoutMs = 60000; // guarded by m_mutex
    bool m_threadStarted = false;    // guarded by m_mutex

    std::shared_ptr<Shared> m_shared;
    QThread* m_thread = nullptr;            // owned; started on the first upload
    PlatformUploader* m_uploader = nullptr; // lives on m_thread
};

} // namespace trevalin
