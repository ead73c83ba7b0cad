#include "logging/PlatformUploader.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

namespace trevalin {

PlatformUploader::PlatformUploader(QObject* parent)
    : QObject(parent) {}

PlatformUploader::~PlatformUploader() = default;

void PlatformUploader::post(const UploadRequest& request) {
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);

    QNetworkRequest networkRequest(request.url);
    networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    networkRequest.setRawHeader(QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json"));
    networkRequest.setRawHeader(QByteArrayLiteral("Authorization"), request.authorization);
    networkRequest.setTransferTimeout(request.transferTimeoutMs);

    QNetworkReply* reply = m_manager->post(networkRequest, request.body);
    const auto done = request.done;
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        UploadResult result;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        result.status = status.isValid() ? status.toInt() : 0;
        result.error = reply->error();
        result.errorString = reply->errorString();
        result.body = reply->readAll();
        reply->deleteLater();
        if (done) {
            try {
                done(result);
            } catch (...) {
                // Nothing may cross the slot boundary.
            }
        }
    });
}

} // namespace trevalin
