#include "musicbrainzrelease.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

namespace musicbrainz {

namespace {

// Only a string counts as text; null, numbers and objects are not given.
QString text(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString().trimmed() : QString();
}

QJsonObject objectOf(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toObject();
}

QJsonArray arrayOf(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toArray();
}

// A whole number in 0..limit, given as a number; 0 otherwise.
qint64 count(const QJsonObject &object, QLatin1String key, qint64 limit)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    return number >= 0 && number <= double(limit) ? qint64(number) : 0;
}

ArtistCredit credit(const QJsonObject &object)
{
    ArtistCredit result;
    for (const QJsonValue &entry : arrayOf(object, QLatin1String("artist-credit"))) {
        const QJsonObject credited = entry.toObject();
        const QJsonObject artist = objectOf(credited, QLatin1String("artist"));
        CreditedArtist one;
        one.name = text(credited, QLatin1String("name"));
        if (one.name.isEmpty())
            one.name = text(artist, QLatin1String("name"));
        if (one.name.isEmpty())
            continue;
        // The join phrase keeps its spaces: " feat. " joins two names.
        const QJsonValue join = credited.value(QLatin1String("joinphrase"));
        one.joinPhrase = join.isString() ? join.toString() : QString();
        one.artistId = text(artist, QLatin1String("id"));
        one.sortName = text(artist, QLatin1String("sort-name"));
        if (one.sortName.isEmpty())
            one.sortName = one.name;
        result.append(one);
    }
    return result;
}

QString lowerText(const QJsonObject &object, QLatin1String key)
{
    return text(object, key).toLower();
}

Track track(const QJsonObject &object)
{
    Track result;
    const QJsonObject recording = objectOf(object, QLatin1String("recording"));
    result.id = text(object, QLatin1String("id"));
    result.recordingId = text(recording, QLatin1String("id"));
    result.title = text(object, QLatin1String("title"));
    if (result.title.isEmpty())
        result.title = text(recording, QLatin1String("title"));
    result.number = text(object, QLatin1String("number"));
    result.position = int(count(object, QLatin1String("position"), 100000));
    // A day at most: longer is no track's length.
    constexpr qint64 day = 24 * 3600 * 1000;
    result.lengthMs = count(object, QLatin1String("length"), day);
    if (result.lengthMs == 0)
        result.lengthMs = count(recording, QLatin1String("length"), day);
    result.artists = credit(object);
    if (result.artists.isEmpty())
        result.artists = credit(recording);
    for (const QJsonValue &isrc : arrayOf(recording, QLatin1String("isrcs"))) {
        if (isrc.isString() && !isrc.toString().trimmed().isEmpty())
            result.isrcs.append(isrc.toString().trimmed());
    }
    return result;
}

// What a search's entry and a full release share.
Release release(const QJsonObject &object, int *tracksLeft)
{
    Release result;
    result.id = text(object, QLatin1String("id"));
    result.title = text(object, QLatin1String("title"));
    result.artists = credit(object);
    result.date = text(object, QLatin1String("date"));
    result.country = text(object, QLatin1String("country"));
    result.barcode = text(object, QLatin1String("barcode"));
    result.asin = text(object, QLatin1String("asin"));
    result.status = lowerText(object, QLatin1String("status"));
    const QJsonObject representation = objectOf(object, QLatin1String("text-representation"));
    result.script = text(representation, QLatin1String("script"));
    result.language = text(representation, QLatin1String("language"));
    const QJsonObject group = objectOf(object, QLatin1String("release-group"));
    result.groupId = text(group, QLatin1String("id"));
    result.originalDate = text(group, QLatin1String("first-release-date"));
    const QString primary = lowerText(group, QLatin1String("primary-type"));
    if (!primary.isEmpty())
        result.types.append(primary);
    for (const QJsonValue &type : arrayOf(group, QLatin1String("secondary-types"))) {
        if (type.isString() && !type.toString().trimmed().isEmpty())
            result.types.append(type.toString().trimmed().toLower());
    }
    for (const QJsonValue &entry : arrayOf(object, QLatin1String("label-info"))) {
        const QJsonObject info = entry.toObject();
        LabelInfo label {text(objectOf(info, QLatin1String("label")), QLatin1String("name")),
                         text(info, QLatin1String("catalog-number"))};
        if (!label.label.isEmpty() || !label.catalogNumber.isEmpty())
            result.labels.append(label);
    }
    int mediaTracks = 0;
    for (const QJsonValue &entry : arrayOf(object, QLatin1String("media"))) {
        const QJsonObject medium = entry.toObject();
        Medium one;
        one.position = int(count(medium, QLatin1String("position"), 1000));
        one.format = text(medium, QLatin1String("format"));
        one.title = text(medium, QLatin1String("title"));
        one.trackCount = int(count(medium, QLatin1String("track-count"), 100000));
        for (const QJsonValue &trackEntry : arrayOf(medium, QLatin1String("tracks"))) {
            if (!trackEntry.isObject() || --*tracksLeft < 0)
                continue;
            one.tracks.append(track(trackEntry.toObject()));
        }
        if (one.position == 0)
            one.position = int(result.media.size()) + 1;
        if (!one.tracks.isEmpty())
            one.trackCount = int(one.tracks.size());
        mediaTracks += one.trackCount;
        result.media.append(one);
    }
    result.trackCount = int(count(object, QLatin1String("track-count"), 100000));
    if (result.trackCount == 0)
        result.trackCount = mediaTracks;
    result.serverScore = int(count(object, QLatin1String("score"), 100));
    return result;
}

bool document(const QByteArray &json, QJsonObject *object, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !parsed.isObject()) {
        *error = QStringLiteral("MusicBrainz's answer is not one it gives");
        return false;
    }
    *object = parsed.object();
    return true;
}

} // namespace

QString creditText(const ArtistCredit &credit)
{
    QString result;
    for (const CreditedArtist &artist : credit)
        result += artist.name + artist.joinPhrase;
    return result.trimmed();
}

QString creditSortText(const ArtistCredit &credit)
{
    QString result;
    for (const CreditedArtist &artist : credit)
        result += artist.sortName + artist.joinPhrase;
    return result.trimmed();
}

QStringList creditNames(const ArtistCredit &credit)
{
    QStringList names;
    for (const CreditedArtist &artist : credit)
        names.append(artist.name);
    return names;
}

QStringList creditIds(const ArtistCredit &credit)
{
    QStringList ids;
    for (const CreditedArtist &artist : credit) {
        if (!artist.artistId.isEmpty())
            ids.append(artist.artistId);
    }
    return ids;
}

QList<TrackRef> allTracks(const Release &release)
{
    QList<TrackRef> refs;
    for (int m = 0; m < release.media.size(); ++m) {
        for (int t = 0; t < release.media[m].tracks.size(); ++t)
            refs.append({m, t});
    }
    return refs;
}

bool parseSearch(const QByteArray &json, QList<Release> *releases, QString *error)
{
    QJsonObject object;
    if (!document(json, &object, error))
        return false;
    if (!object.value(QLatin1String("releases")).isArray()) {
        *error = QStringLiteral("MusicBrainz's answer holds no list of releases");
        return false;
    }
    releases->clear();
    int tracksLeft = maxTracks;
    for (const QJsonValue &entry : arrayOf(object, QLatin1String("releases"))) {
        // A search's entries hold no tracks; each gets the whole allowance.
        tracksLeft = maxTracks;
        Release one = release(entry.toObject(), &tracksLeft);
        if (!releaseIdIn(one.id).isEmpty())
            releases->append(one);
    }
    return true;
}

bool parseRelease(const QByteArray &json, Release *result, QString *error)
{
    QJsonObject object;
    if (!document(json, &object, error))
        return false;
    int tracksLeft = maxTracks;
    *result = release(object, &tracksLeft);
    if (releaseIdIn(result->id).isEmpty()) {
        *error = QStringLiteral("MusicBrainz's answer names no release");
        return false;
    }
    if (tracksLeft < 0) {
        *error = QStringLiteral("the release has more than %1 tracks, more than a lookup takes")
                         .arg(maxTracks);
        return false;
    }
    return true;
}

QString releaseIdIn(const QString &text)
{
    static const QRegularExpression id(
            QStringLiteral("(?:^|[^0-9a-f])([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-"
                           "f]{12})(?:$|[^0-9a-f])"),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = id.match(text.trimmed());
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

} // namespace musicbrainz
