// HttpResponder: a minimal HTTP/1.1 server on 127.0.0.1 for tests. It records
// every request (method, path, headers, body) and answers each with a fixed
// status and a small JSON body, closing the connection afterwards. With hold on,
// answers are kept back until release() is called. Lives on the test's thread; its
// connections end with it.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

namespace trevalin::test {

class HttpResponder {
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    HttpResponder() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }

    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/app/").arg(m_server.serverPort()));
    }
    void setStatus(int status) { m_status = status; }
    void setHold(bool hold) { m_hold = hold; }
    // Answers every request kept back and turns hold off.
    void release() {
        m_hold = false;
        const QList<QPointer<QTcpSocket>> held = std::exchange(m_held, {});
        for (const QPointer<QTcpSocket>& socket : held) {
            if (socket)
                respond(socket);
        }
    }
    const QList<Request>& requests() const { return m_requests; }
    int heldCount() const { return int(m_held.size()); }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket, buffer] { read(socket, *buffer); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    // One request per connection: every answer closes it.
    void read(QTcpSocket* socket, QByteArray& buffer) {
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                       lines.at(i).mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        m_requests.append(request);
        if (m_hold)
            m_held.append(socket);
        else
            respond(socket);
    }

    void respond(QTcpSocket* socket) {
        const QByteArray body = "{\"ok\":true}";
        socket->write(
            "HTTP/1.1 " + QByteArray::number(m_status) + " Status\r\nContent-Type: application/json\r\n" +
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    int m_status = 200;
    bool m_hold = false;
    QList<QPointer<QTcpSocket>> m_held;
    QList<Request> m_requests;
};

} // namespace trevalin::test
