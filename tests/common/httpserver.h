// A small HTTP/1.1 server on 127.0.0.1 for tests: answers GET requests with canned bodies, and
// can play a broken server that sends without end, stops half way or never answers.
#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
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
    // A path given without a query answers requests of that path with any query.
    void setBody(const QString &path, const QByteArray &body, Delivery delivery = Delivery::Whole);
    int requestCount(const QString &path) const { return m_requests.value(path); }

    // An answer of any status with headers of its own ("Retry-After", "Location"), sent whole.
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers = {};
        Delivery delivery = Delivery::Whole;
    };
    // Answers the requests of path with replies in turn; the last one answers every request after.
    void setReplies(const QString &path, const QList<Reply> &replies);
    // When each request arrived, in milliseconds since start(), in order of arrival.
    const QList<qint64> &requestTimes() const { return m_times; }
    // The last request's line and headers, as sent.
    QByteArray lastRequestHead() const { return m_lastHead; }

signals:
    void requestServed(const QString &path);

private:
    void onNewConnection();
    void answer(QTcpSocket *socket, const QString &path);
    static void sendWithoutEnd(QTcpSocket *socket, const QByteArray &body);

    QTcpServer m_server;
    QHash<QString, QList<Reply>> m_answers;
    QHash<QString, int> m_requests;
    QList<qint64> m_times;
    QElapsedTimer m_clock;
    QByteArray m_lastHead;
};

#endif // HTTPSERVER_H
