#include "musicbrainzclient.h"

#include "coverimage.h"
#include "musicbrainzreply.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSettings>

namespace {

// Where the program's users and MusicBrainz's operators find who sends its requests.
const QString contactAddress = QStringLiteral("http://tarnwick.example/tagdesk/");

// One place for both programs: the window's settings count for the command too.
const QString settingsOwner = QStringLiteral("TagDesk");
const QString settingsName = QStringLiteral("TagDesk");

QUrl withPath(QUrl base, const QString &path)
{
    QString prefix = base.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    base.setPath(prefix + path);
    return base;
}

} // namespace

MusicBrainzClient::Settings MusicBrainzClient::savedSettings()
{
    Settings settings;
    QSettings saved(settingsOwner, settingsName);
    saved.beginGroup(QStringLiteral("musicbrainz"));
    const QUrl server(saved.value(QStringLiteral("server")).toString());
    if (server.isValid() && !server.host().isEmpty())
        settings.server = server;
    const QUrl coverServer(saved.value(QStringLiteral("coverServer")).toString());
    if (coverServer.isValid() && !coverServer.host().isEmpty())
        settings.coverServer = coverServer;
    settings.email = saved.value(QStringLiteral("email")).toString().trimmed();
    return settings;
}

void MusicBrainzClient::saveSettings(const Settings &settings)
{
    QSettings saved(settingsOwner, settingsName);
    saved.beginGroup(QStringLiteral("musicbrainz"));
    saved.setValue(QStringLiteral("server"), settings.server.toString());
    saved.setValue(QStringLiteral("coverServer"), settings.coverServer.toString());
    saved.setValue(QStringLiteral("email"), settings.email);
}

MusicBrainzClient::MusicBrainzClient(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_manager(new QNetworkAccessManager(this))
{ }

QString MusicBrainzClient::userAgent() const
{
    QString version = m_settings.version;
    if (version.isEmpty())
        version = QCoreApplication::applicationVersion();
    QString contact = contactAddress;
    // Only what fits in the header: no line breaks or brackets from the settings.
    QString email = m_settings.email;
    email.remove(QRegularExpression(QStringLiteral("[^\\x21-\\x7e]|[()]")));
    if (!email.isEmpty())
        contact = email + QStringLiteral(" ; ") + contact;
    return QStringLiteral("TagDesk/%1 ( %2 )").arg(version, contact);
}

MusicBrainzReply *MusicBrainzClient::search(const QString &query)
{
    QUrl url = withPath(m_settings.server, QStringLiteral("/ws/2/release"));
    url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(query))
                         + QStringLiteral("&limit=25&fmt=json"),
                 QUrl::StrictMode);
    return get(url, true);
}

MusicBrainzReply *MusicBrainzClient::release(const QString &releaseId)
{
    QUrl url = withPath(m_settings.server, QStringLiteral("/ws/2/release/") + releaseId);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits+labels+release-groups+media+isrcs"
                                "&fmt=json"),
                 QUrl::StrictMode);
    return get(url, true);
}

MusicBrainzReply *MusicBrainzClient::frontCover(const QString &releaseId, CoverSize size)
{
    const QString name = size == CoverSize::Medium500 ? QStringLiteral("/front-500")
            : size == CoverSize::Large1200            ? QStringLiteral("/front-1200")
                                                      : QStringLiteral("/front");
    return get(withPath(m_settings.coverServer, QStringLiteral("/release/") + releaseId + name),
               false);
}

MusicBrainzReply *MusicBrainzClient::get(const QUrl &url, bool musicBrainz)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", musicBrainz ? "application/json" : "image/*");
    // The archive answers with a redirect to the image; never from HTTPS down to HTTP.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    MusicBrainzReply::Limits limits;
    limits.maxBytes = musicBrainz ? m_settings.maxAnswerBytes : m_settings.maxCoverBytes;
    limits.silence = m_settings.silence;
    limits.retries = m_settings.retries;
    return new MusicBrainzReply(m_manager, request,
                                musicBrainz ? MusicBrainzReply::Service::MusicBrainz
                                            : MusicBrainzReply::Service::CoverArtArchive,
                                limits, this);
}

bool MusicBrainzClient::searchResult(const MusicBrainzReply *reply,
                                     QList<musicbrainz::Release> *releases, QString *error)
{
    if (!reply->error().isEmpty()) {
        *error = reply->error();
        return false;
    }
    return musicbrainz::parseSearch(reply->body(), releases, error);
}

bool MusicBrainzClient::releaseResult(const MusicBrainzReply *reply, const QString &releaseId,
                                      musicbrainz::Release *release, QString *error)
{
    if (reply->status() == 404 || reply->status() == 400) {
        *error = QStringLiteral("MusicBrainz knows no release %1").arg(releaseId);
        return false;
    }
    if (!reply->error().isEmpty()) {
        *error = reply->error();
        return false;
    }
    return musicbrainz::parseRelease(reply->body(), release, error);
}

bool MusicBrainzClient::coverResult(const MusicBrainzReply *reply, QByteArray *image,
                                    QString *error)
{
    if (reply->status() == 404) {
        *error = QStringLiteral("The Cover Art Archive has no front cover of this release");
        return false;
    }
    if (!reply->error().isEmpty()) {
        *error = reply->error();
        return false;
    }
    if (!coverimage::hasImageHeader(reply->body())) {
        *error = QStringLiteral("The Cover Art Archive's answer is not an image");
        return false;
    }
    *image = reply->body();
    return true;
}
