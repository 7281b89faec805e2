// A MusicBrainz release as its web service (version 2, JSON) describes it, read from answers that
// may be anything: whatever has the wrong type or is missing counts as not given.
#ifndef MUSICBRAINZRELEASE_H
#define MUSICBRAINZRELEASE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace musicbrainz {

// One entry of an artist credit: the credited name, then its join phrase ("A feat. B").
struct CreditedArtist
{
    QString name;
    QString joinPhrase;
    QString artistId;
    QString sortName; // the artist's, else the credited name
};
using ArtistCredit = QList<CreditedArtist>;

// The credit as text: each name followed by its join phrase, in order.
QString creditText(const ArtistCredit &credit);
// The same with the artists' sort names.
QString creditSortText(const ArtistCredit &credit);
QStringList creditNames(const ArtistCredit &credit);
QStringList creditIds(const ArtistCredit &credit);

struct Track
{
    QString id; // the release track
    QString recordingId;
    QString title;
    QString number; // as printed ("1", "A1"); may be empty
    int position = 0;
    qint64 lengthMs = 0; // 0 when unknown
    ArtistCredit artists; // empty: the release's
    QStringList isrcs;
};

struct Medium
{
    int position = 0;
    QString format;
    QString title;
    int trackCount = 0;
    QList<Track> tracks;
};

struct LabelInfo
{
    QString label;
    QString catalogNumber;
};

struct Release
{
    QString id;
    QString title;
    ArtistCredit artists;
    QString date;
    QString country;
    QString barcode;
    QString asin;
    QString status;
    QString script;
    QString language;
    QString groupId;
    QString originalDate; // the release group's first release
    QStringList types; // the group's primary type, then its secondary ones, in lower case
    QList<LabelInfo> labels;
    QList<Medium> media;
    int trackCount = 0; // the search's count, or the media's tracks added up
    int serverScore = 0; // the search's own score, 0..100
};

// A release's tracks in order, each with its medium, as the matching sees them.
struct TrackRef
{
    int medium = 0; // index into Release::media
    int track = 0; // index into Medium::tracks
};
QList<TrackRef> allTracks(const Release &release);

// Parse an answer of /ws/2/release?query=... . False with the reason when it is not one.
bool parseSearch(const QByteArray &json, QList<Release> *releases, QString *error);
// Parse an answer of /ws/2/release/MBID?inc=... .
bool parseRelease(const QByteArray &json, Release *release, QString *error);

// The release's identifier in text that is one or holds one (a web address of the release);
// empty when there is none.
QString releaseIdIn(const QString &text);

// How many tracks a lookup takes at most: beyond it a matching would take too long.
constexpr int maxTracks = 1000;

} // namespace musicbrainz

#endif // MUSICBRAINZRELEASE_H
