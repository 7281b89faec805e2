// The requests of a lookup: searching MusicBrainz for releases, loading one, and fetching its
// front cover from the Cover Art Archive. Each request is a MusicBrainzReply the caller may cancel;
// the static functions read a finished one.
#ifndef MUSICBRAINZCLIENT_H
#define MUSICBRAINZCLIENT_H

#include "musicbrainzrelease.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>

class MusicBrainzReply;
class QNetworkAccessManager;

class MusicBrainzClient : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QUrl server {QStringLiteral("https://musicbrainz.org")};
        QUrl coverServer {QStringLiteral("https://coverartarchive.org")};
        QString version; // the program's; the application's version when empty
        QString email; // the user's, added to the contact when given
        qint64 maxAnswerBytes = 4 * 1024 * 1024;
        qint64 maxCoverBytes = 32 * 1024 * 1024;
        std::chrono::milliseconds silence {30000};
        int retries = 3;
    };

    // The front cover's sizes the archive keeps.
    enum class CoverSize { Medium500, Large1200, Original };

    // Settings as the user keeps them (QSettings group "musicbrainz": server, coverServer, email).
    static Settings savedSettings();
    static void saveSettings(const Settings &settings);

    explicit MusicBrainzClient(const Settings &settings, QObject *parent = nullptr);

    const Settings &settings() const { return m_settings; }
    // For the requests made from now on.
    void setSettings(const Settings &settings) { m_settings = settings; }
    // "TagDesk/<version> ( <contact> )".
    QString userAgent() const;

    // Each is a child of the client; deleting it cancels it.
    MusicBrainzReply *search(const QString &query);
    MusicBrainzReply *release(const QString &releaseId);
    MusicBrainzReply *frontCover(const QString &releaseId, CoverSize size);

    // What a finished reply holds; false with the reason the user is shown.
    static bool searchResult(const MusicBrainzReply *reply, QList<musicbrainz::Release> *releases,
                             QString *error);
    static bool releaseResult(const MusicBrainzReply *reply, const QString &releaseId,
                              musicbrainz::Release *release, QString *error);
    static bool coverResult(const MusicBrainzReply *reply, QByteArray *image, QString *error);

private:
    MusicBrainzReply *get(const QUrl &url, bool musicBrainz);

    Settings m_settings;
    QNetworkAccessManager *m_manager;
};

#endif // MUSICBRAINZCLIENT_H
