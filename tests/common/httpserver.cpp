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

void HttpServer::setBody(const QString &path, const QByteArray &body, Delivery delivery)
{
    m_answers.insert(path, {body, delivery});
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
            answer(socket, path);
            ++m_requests[path];
            emit requestServed(path);
        });
    }
}

void HttpServer::answer(QTcpSocket *socket, const QString &path)
{
    const auto found = m_answers.constFind(path);
    if (found == m_answers.cend()) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const QByteArray &body = found->body;
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n";
    switch (found->delivery) {
    case Delivery::Whole:
        socket->write(head + "Content-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        break;
    case Delivery::Endless:
        socket->write(head + "Connection: close\r\n\r\n");
        sendWithoutEnd(socket, body);
        break;
    case Delivery::Stalled:
        socket->write(head + "Content-Length: " + QByteArray::number(body.size() + 1) + "\r\n\r\n"
                      + body);
        break;
    case Delivery::Silent:
        break;
    }
}

void HttpServer::sendWithoutEnd(QTcpSocket *socket, const QByteArray &body)
{
    if (body.isEmpty())
        return;
    // Written in pieces of some 64 KiB, each as soon as the one before has gone out.
    const QByteArray piece = body.repeated(qMax<qsizetype>(1, 64 * 1024 / body.size()));
    const auto sendMore = [socket, piece] {
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() == 0)
            socket->write(piece);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, sendMore);
    sendMore();
}
