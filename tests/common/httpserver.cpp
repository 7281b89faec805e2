#include "httpserver.h"

#include <QTcpSocket>

HttpServer::HttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::onNewConnection);
}

bool HttpServer::start()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void HttpServer::setBody(const QString &path, const QByteArray &body)
{
    m_bodies.insert(path, body);
}

void HttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            if (!request.contains("\r\n\r\n")) {
                socket->setProperty("request", request);
                return;
            }
            // "GET /path HTTP/1.1"
            const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
            const QString path = words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
            const bool found = m_bodies.contains(path);
            const QByteArray body = m_bodies.value(path);
            QByteArray response = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
            response += "Content-Type: text/plain; charset=utf-8\r\nContent-Length: "
                    + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            socket->write(response);
            socket->disconnectFromHost();
            ++m_requests[path];
            emit requestServed(path);
        });
    }
}
