#include "limitedreply.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

LimitedReply *LimitedReply::get(QNetworkAccessManager *manager, const QUrl &url, qint64 maxBytes,
                                std::chrono::milliseconds transferTimeout)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    return new LimitedReply(manager->get(request), maxBytes);
}

LimitedReply::LimitedReply(QNetworkReply *reply, qint64 maxBytes)
    : QObject(reply)
    , m_reply(reply)
    , m_maxBytes(maxBytes)
{
    connect(reply, &QNetworkReply::downloadProgress, this, &LimitedReply::checkAnnouncedSize);
    connect(reply, &QNetworkReply::readyRead, this, &LimitedReply::readArrived);
    connect(reply, &QNetworkReply::finished, this, &LimitedReply::finish);
}

void LimitedReply::checkAnnouncedSize(qint64, qint64 bytesTotal)
{
    // bytesTotal is the announced length, -1 when there is none.
    if (bytesTotal > m_maxBytes && !m_overLimit && !m_reply->isFinished())
        cutOff();
}

void LimitedReply::readArrived()
{
    if (m_overLimit || m_reply->isFinished())
        return;
    if (!takeArrived())
        cutOff();
}

void LimitedReply::finish()
{
    // Whatever came with the end and was not announced by readyRead(); an aborted reply is
    // closed and holds nothing more.
    if (!m_overLimit && m_reply->isOpen() && !takeArrived())
        discard();
    // A transfer that timed out ends as cancelled; the part that had come is not used.
    const QNetworkReply::NetworkError error = m_reply->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        m_body.clear();
    emit finished();
}

bool LimitedReply::takeArrived()
{
    // One byte past the limit is enough to know; the rest is never read.
    m_body += m_reply->read(m_maxBytes + 1 - m_body.size());
    return m_body.size() <= m_maxBytes;
}

void LimitedReply::cutOff()
{
    discard();
    // Emits finished() before it returns.
    m_reply->abort();
}

void LimitedReply::discard()
{
    m_overLimit = true;
    m_body = QByteArray();
}
