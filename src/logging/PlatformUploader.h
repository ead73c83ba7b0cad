// PlatformUploader: the network side of the platform upload destination. It lives
// on the destination's own QThread, whose event loop drives Qt Network, and posts
// one prepared request at a time; the outcome goes to the request's completion
// callback, on the uploader's thread.
//
// Thread-safety: an uploader is used only on the thread it lives on; other threads
// hand it work with QMetaObject::invokeMethod (a queued call).
#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

namespace trevalin {

// What came back for one request.
struct UploadResult {
    // The HTTP status code, or 0 when no HTTP response arrived.
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    QByteArray body;
};

// One prepared POST.
struct UploadRequest {
    QUrl url;
    // The full value of the Authorization header.
    QByteArray authorization;
    QByteArray body;
    // Milliseconds without any transfer after which the request is given up.
    int transferTimeoutMs = 60000;
    // Called exactly once, on the uploader's thread. Must not throw.
    std::function<void(const UploadResult&)> done;
};

class PlatformUploader : public QObject {
    Q_OBJECT
public:
    explicit PlatformUploader(QObject* parent = nullptr);
    ~PlatformUploader() override;

    // Sends the request with "Content-Type" and "Accept" set to "application/json".
    // Must be called on the uploader's thread.
    void post(const UploadRequest& request);

private:
    QNetworkAccessManager* m_manager = nullptr; // created on first use, on the uploader's thread
};

} // namespace trevalin
