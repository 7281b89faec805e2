// One request to MusicBrainz or the Cover Art Archive, as the service's rules want it sent: at
// most one a second to MusicBrainz from the whole program, tried again after a 503, given up after
// 30 s without data, read only up to a limit. It never blocks: finished() says when it is over.
#ifndef MUSICBRAINZREPLY_H
#define MUSICBRAINZREPLY_H

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

class MusicBrainzReply : public QObject
{
    Q_OBJECT

public:
    enum class Service { MusicBrainz, CoverArtArchive };

    struct Limits
    {
        qint64 maxBytes = 0;
        std::chrono::milliseconds silence {30000}; // without data: a failure
        int retries = 3; // after a 503
    };

    // Sent once the program's pace allows; the reply is a child of parent.
    MusicBrainzReply(QNetworkAccessManager *manager, const QNetworkRequest &request,
                     Service service, const Limits &limits, QObject *parent);
    ~MusicBrainzReply() override;

    // Ends the request at once; finished() follows with the error "cancelled".
    void cancel();

    bool isFinished() const { return m_finished; }
    // Empty when the answer came whole with a status of success.
    QString error() const { return m_error; }
    int status() const { return m_status; }
    // The answer's body, at most the limit; empty after an error.
    QByteArray body() const { return m_body; }
    QUrl url() const { return m_request.url(); }

    // How long a request to MusicBrainz must wait from now to keep to one a second for the whole
    // program; the time it then takes is reserved.
    static std::chrono::milliseconds reserveMusicBrainzSlot();

signals:
    void finished();

private:
    void send();
    void readArrived();
    void transferDone();
    void finish(const QString &error);
    QString serviceName() const;

    QNetworkAccessManager *m_manager;
    QNetworkRequest m_request;
    Service m_service;
    Limits m_limits;
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;
    QByteArray m_body;
    QString m_error;
    int m_status = 0;
    int m_attempts = 0;
    bool m_finished = false;
};

#endif // MUSICBRAINZREPLY_H
