#include "httpserver.h"

#include <QTcpSocket>

HttpServer::HttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::onNewConnection);
}

bool HttpServer::start()
{
    m_clock.start();
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void HttpServer::setBody(const QString &path, const QByteArray &body, Delivery delivery)
{
    m_answers.insert(path, {Reply {200, body, {}, delivery}});
}

void HttpServer::setReplies(const QString &path, const QList<Reply> &replies)
{
    m_answers.insert(path, replies);
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
            m_times.append(m_clock.elapsed());
            m_lastHead = request.left(request.indexOf("\r\n\r\n"));
            answer(socket, path);
            ++m_requests[path];
            emit requestServed(path);
        });
    }
}

void HttpServer::answer(QTcpSocket *socket, const QString &path)
{
    auto found = m_answers.constFind(path);
    if (found == m_answers.cend())
        found = m_answers.constFind(path.left(path.indexOf(QLatin1Char('?'))));
    if (found == m_answers.cend() || found->isEmpty()) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const Reply &reply = found->at(qMin<qsizetype>(m_requests.value(path), found->size() - 1));
    const QByteArray &body = reply.body;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status)
            + (reply.status == 200 ? " OK" : " Status") + "\r\n";
    bool typed = false;
    for (const auto &[name, value] : reply.headers) {
        head += name + ": " + value + "\r\n";
        typed = typed || name.compare("Content-Type", Qt::CaseInsensitive) == 0;
    }
    if (!typed)
        head += "Content-Type: text/plain; charset=utf-8\r\n";
    switch (reply.delivery) {
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
