#ifndef LIMITEDREPLY_H
#define LIMITEDREPLY_H

#include <QByteArray>
#include <QObject>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// An HTTP GET whose answer is read only up to a size limit. The body is taken from the reply as
// it arrives; once it goes past the limit, or announces a length past it, the transfer is
// aborted at once and the body counts as empty. A transfer abandoned before its end (it timed
// out) has an empty body too, like a refused connection, rather than whatever part had come.
class LimitedReply : public QObject
{
    Q_OBJECT

public:
    // Sends the request through manager. It is abandoned once it has gone for transferTimeout
    // without receiving anything. The result is a child of the manager's reply and goes with it.
    static LimitedReply *get(QNetworkAccessManager *manager, const QUrl &url, qint64 maxBytes,
                             std::chrono::milliseconds transferTimeout);

    // At most maxBytes; complete once finished() has been emitted.
    QByteArray body() const { return m_body; }

signals:
    // The transfer is over: complete, failed, aborted at the limit or timed out.
    void finished();

private:
    LimitedReply(QNetworkReply *reply, qint64 maxBytes);

    void checkAnnouncedSize(qint64 bytesReceived, qint64 bytesTotal);
    void readArrived();
    void finish();
    // Moves what the reply holds into the body; false once the body is past the limit.
    bool takeArrived();
    // Aborts the transfer with an empty body.
    void cutOff();
    void discard();

    QNetworkReply *m_reply;
    const qint64 m_maxBytes;
    QByteArray m_body;
    bool m_overLimit = false;
};

#endif // LIMITEDREPLY_H
