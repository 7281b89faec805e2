// How well MusicBrainz's releases fit a set of files, which file is which track, and the values
// each file gets from its track.
#ifndef RELEASEMATCH_H
#define RELEASEMATCH_H

#include "musicbrainzrelease.h"
#include "tagrecord.h"

#include <QList>
#include <QString>

namespace musicbrainz {

// What a lookup knows of one file.
struct LookupFile
{
    QString path;
    QString title;
    QString artist;
    QString album;
    QString albumArtist;
    QString date;
    QString barcode;
    QString catalogNumber;
    int track = 0; // 0 when the file has none
    int disc = 0;
    qint64 lengthMs = 0; // 0 when unknown
};

// The file's fields as the lookup reads them from its tag.
LookupFile lookupFile(const QString &path, const TagRecord &record);

// What the files have in common: the album to search for.
struct AlbumFacts
{
    QString album;
    QString artist; // the album artist, else the artist
    QString date;
    QString barcode;
    QString catalogNumber;
    int trackCount = 0;
};
AlbumFacts albumFacts(const QList<LookupFile> &files);

// The search of /ws/2/release?query= for the album, in the service's query syntax.
QString searchQuery(const AlbumFacts &facts);

// How well the release fits the files, 0..100: album and artist alike, the track count, the
// date; barcode and catalogue number count most when the files have them.
int candidateScore(const Release &release, const AlbumFacts &facts);

// Likeness of two titles or names, 0..1, without regard to case, punctuation and spacing.
double similarity(const QString &a, const QString &b);

// Which track each file is: for each file an index into allTracks(release), or -1 for none. By
// disc and track number when every file has numbers, no two alike, each naming a track of the
// release; otherwise the assignment with the best likeness of title and length over all files.
QList<int> matchFiles(const QList<LookupFile> &files, const Release &release);

// The values the file of the track gets, under TagLib's keys, in a fixed order. Only what the
// release gives: a key it leaves empty is not in the list.
QList<TagProperty> trackValues(const Release &release, const TrackRef &track);

} // namespace musicbrainz

#endif // RELEASEMATCH_H
