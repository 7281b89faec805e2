#include "musicbrainzreply.h"

#include <QDateTime>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace {

// The service allows one request a second per client. A little more keeps clear of its edge:
// the time a request takes to arrive varies, so two sent a second apart may arrive closer.
constexpr std::chrono::milliseconds interval {1100};
// A Retry-After past this is no wait a user sits out.
constexpr std::chrono::seconds longestRetryAfter {60};

QMutex paceMutex;
std::chrono::steady_clock::time_point nextSlot;

// Retry-After in seconds or as an HTTP date; a second when it says nothing usable.
std::chrono::milliseconds retryAfter(const QByteArray &header)
{
    bool number = false;
    const qint64 seconds = header.trimmed().toLongLong(&number);
    std::chrono::milliseconds wait = interval;
    if (number && seconds >= 0) {
        wait = std::chrono::seconds(std::min<qint64>(seconds, longestRetryAfter.count()));
    } else {
        const QDateTime when
                = QDateTime::fromString(QString::fromLatin1(header.trimmed()), Qt::RFC2822Date);
        if (when.isValid())
            wait = std::chrono::milliseconds(
                    std::clamp<qint64>(QDateTime::currentDateTimeUtc().msecsTo(when), 0,
                                       std::chrono::milliseconds(longestRetryAfter).count()));
    }
    return std::max(wait, interval);
}

} // namespace

std::chrono::milliseconds MusicBrainzReply::reserveMusicBrainzSlot()
{
    const QMutexLocker lock(&paceMutex);
    const auto now = std::chrono::steady_clock::now();
    const auto slot = std::max(now, nextSlot);
    nextSlot = slot + interval;
    return std::chrono::ceil<std::chrono::milliseconds>(slot - now);
}

MusicBrainzReply::MusicBrainzReply(QNetworkAccessManager *manager, const QNetworkRequest &request,
                                   Service service, const Limits &limits, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
    , m_request(request)
    , m_service(service)
    , m_limits(limits)
{
    m_request.setTransferTimeout(int(m_limits.silence.count()));
    m_wait.setSingleShot(true);
    // A coarse timer may fire early, and a second means a second.
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &MusicBrainzReply::send);
    m_wait.start(m_service == Service::MusicBrainz ? reserveMusicBrainzSlot()
                                                   : std::chrono::milliseconds(0));
}

MusicBrainzReply::~MusicBrainzReply()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void MusicBrainzReply::cancel()
{
    if (!m_finished)
        finish(QStringLiteral("cancelled"));
}

void MusicBrainzReply::send()
{
    ++m_attempts;
    m_body.clear();
    m_reply = m_manager->get(m_request);
    connect(m_reply, &QNetworkReply::readyRead, this, &MusicBrainzReply::readArrived);
    connect(m_reply, &QNetworkReply::finished, this, &MusicBrainzReply::transferDone);
}

void MusicBrainzReply::readArrived()
{
    // One byte past the limit is enough to know; the rest is never read.
    m_body += m_reply->read(m_limits.maxBytes + 1 - m_body.size());
    if (m_body.size() > m_limits.maxBytes)
        finish(QStringLiteral("%1's answer is larger than %2 bytes")
                       .arg(serviceName())
                       .arg(m_limits.maxBytes));
}

void MusicBrainzReply::transferDone()
{
    QNetworkReply *reply = m_reply;
    if (!reply || m_finished)
        return;
    if (reply->isOpen())
        m_body += reply->read(m_limits.maxBytes + 1 - m_body.size());
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError networkError = reply->error();
    const QByteArray retryHeader = reply->rawHeader("Retry-After");
    m_reply = nullptr;
    reply->deleteLater();

    if (m_body.size() > m_limits.maxBytes) {
        finish(QStringLiteral("%1's answer is larger than %2 bytes")
                       .arg(serviceName())
                       .arg(m_limits.maxBytes));
    } else if (m_status == 503 && m_attempts <= m_limits.retries) {
        // Busy: the service says when to come back; that time counts for every other request too.
        std::chrono::milliseconds wait = retryAfter(retryHeader);
        if (m_service == Service::MusicBrainz)
            wait = std::max(wait, reserveMusicBrainzSlot());
        m_wait.start(wait);
    } else if (m_status == 503) {
        finish(QStringLiteral("%1 is busy and answered \"try later\" %2 times")
                       .arg(serviceName())
                       .arg(m_attempts));
    } else if (m_status >= 200 && m_status < 300 && networkError == QNetworkReply::NoError) {
        finish(QString());
    } else if (m_status == 0 || networkError == QNetworkReply::OperationCanceledError
               || networkError == QNetworkReply::TimeoutError) {
        finish(QStringLiteral("%1 did not answer").arg(serviceName()));
    } else {
        finish(QStringLiteral("%1 answered with HTTP status %2").arg(serviceName()).arg(m_status));
    }
}

void MusicBrainzReply::finish(const QString &error)
{
    m_wait.stop();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_error = error;
    if (!error.isEmpty())
        m_body = QByteArray();
    m_finished = true;
    emit finished();
}

QString MusicBrainzReply::serviceName() const
{
    return m_service == Service::MusicBrainz ? QStringLiteral("MusicBrainz")
                                             : QStringLiteral("The Cover Art Archive");
}
