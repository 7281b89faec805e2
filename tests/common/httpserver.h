// A small HTTP/1.1 server on 127.0.0.1 for tests: answers GET requests with canned bodies, and
// can play a broken server that sends without end, stops half way or never answers.
#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

class HttpServer : public QObject
{
    Q_OBJECT

public:
    // How the answer for a path is sent.
    enum class Delivery {
        // Status 200, the body's length, the body; then the connection is closed.
        Whole,
        // Status 200 without a length, then the body again and again until the client leaves.
        Endless,
        // Status 200 announcing one byte more than the body, the body, then silence.
        Stalled,
        // The request is read and never answered.
        Silent,
    };
    Q_ENUM(Delivery)

    explicit HttpServer(QObject *parent = nullptr);

    // Listens on a free loopback port; false when no port could be had.
    bool start();
    QUrl url(const QString &path) const;

    // Serves body for path as delivery says; paths without a body get 404 and an empty body.
    void setBody(const QString &path, const QByteArray &body, Delivery delivery = Delivery::Whole);
    int requestCount(const QString &path) const { return m_requests.value(path); }

signals:
    void requestServed(const QString &path);

private:
    struct Answer
    {
        QByteArray body;
        Delivery delivery = Delivery::Whole;
    };

    void onNewConnection();
    void answer(QTcpSocket *socket, const QString &path);
    static void sendWithoutEnd(QTcpSocket *socket, const QByteArray &body);

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QString, int> m_requests;
};

#endif // HTTPSERVER_H
