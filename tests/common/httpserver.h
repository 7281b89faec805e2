// A small HTTP/1.1 server on 127.0.0.1 for tests: answers GET requests with canned bodies.
#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class HttpServer : public QObject
{
    Q_OBJECT

public:
    explicit HttpServer(QObject *parent = nullptr);

    // Listens on a free loopback port; false when no port could be had.
    bool start();
    QUrl url(const QString &path) const;

    // Serves body for path with status 200; paths without a body get 404 and an empty body.
    void setBody(const QString &path, const QByteArray &body);
    int requestCount(const QString &path) const { return m_requests.value(path); }

signals:
    void requestServed(const QString &path);

private:
    void onNewConnection();

    QTcpServer m_server;
    QHash<QString, QByteArray> m_bodies;
    QHash<QString, int> m_requests;
};

#endif // HTTPSERVER_H
