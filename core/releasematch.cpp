#include "releasematch.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <limits>
#include <vector>

namespace musicbrainz {

namespace {

// The whole number a field starts with ("3/12" gives 3); 0 when none.
int leadingNumber(const QString &text)
{
    int number = 0;
    int digits = 0;
    for (const QChar c : text.trimmed()) {
        if (!c.isDigit() || ++digits > 6)
            break;
        number = number * 10 + c.digitValue();
    }
    return number;
}

QString first(const TagRecord &record, const char *key)
{
    return record.values(QLatin1String(key)).value(0).trimmed();
}

// Letters and digits in lower case, runs of anything else as one space.
QString normalized(const QString &text)
{
    QString result;
    result.reserve(text.size());
    bool space = false;
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) {
            if (space && !result.isEmpty())
                result += QLatin1Char(' ');
            result += c.toCaseFolded();
            space = false;
        } else {
            space = true;
        }
    }
    return result;
}

double normalizedSimilarity(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && b.isEmpty() ? 1.0 : 0.0;
    if (a == b)
        return 1.0;
    // Levenshtein distance over two rows; titles are short.
    std::vector<int> previous(std::size_t(b.size()) + 1);
    std::vector<int> current(previous.size());
    for (std::size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 0; i < a.size(); ++i) {
        current[0] = int(i) + 1;
        for (qsizetype j = 0; j < b.size(); ++j) {
            const int substitution = previous[std::size_t(j)] + (a[i] == b[j] ? 0 : 1);
            current[std::size_t(j) + 1] = std::min(
                    {substitution, previous[std::size_t(j) + 1] + 1, current[std::size_t(j)] + 1});
        }
        std::swap(previous, current);
    }
    const double longest = double(std::max(a.size(), b.size()));
    return 1.0 - double(previous.back()) / longest;
}

// A length within 2 s counts fully, beyond 30 s not at all, linearly between.
double lengthLikeness(qint64 a, qint64 b)
{
    const qint64 difference = std::abs(a - b);
    if (difference <= 2000)
        return 1.0;
    if (difference >= 30000)
        return 0.0;
    return 1.0 - double(difference - 2000) / 28000.0;
}

// The file's title, else its name without the leading track number and extension.
QString fileTitle(const LookupFile &file)
{
    if (!file.title.isEmpty())
        return normalized(file.title);
    static const QRegularExpression leadingNumber(QStringLiteral("^[\\d\\s._-]+"));
    QString name = QFileInfo(file.path).completeBaseName();
    name.remove(leadingNumber);
    return normalized(name);
}

// Below this a file and a track are no pair, whatever else is left.
constexpr double leastLikeness = 0.3;

// The assignment of rows to columns (rows <= columns) of the least total cost; the column of each
// row. The shortest augmenting path method with potentials, O(rows^2 columns).
std::vector<int> cheapestAssignment(const std::vector<double> &cost, int rows, int columns)
{
    const double infinity = std::numeric_limits<double>::infinity();
    std::vector<double> u(std::size_t(rows) + 1), v(std::size_t(columns) + 1);
    std::vector<int> rowOf(std::size_t(columns) + 1, 0), way(std::size_t(columns) + 1, 0);
    for (int i = 1; i <= rows; ++i) {
        rowOf[0] = i;
        int column = 0;
        std::vector<double> least(std::size_t(columns) + 1, infinity);
        std::vector<char> used(std::size_t(columns) + 1, 0);
        do {
            used[std::size_t(column)] = 1;
            const int row = rowOf[std::size_t(column)];
            double delta = infinity;
            int next = 0;
            for (int j = 1; j <= columns; ++j) {
                if (used[std::size_t(j)])
                    continue;
                const double reduced
                        = cost[std::size_t(row - 1) * std::size_t(columns) + std::size_t(j - 1)]
                        - u[std::size_t(row)] - v[std::size_t(j)];
                if (reduced < least[std::size_t(j)]) {
                    least[std::size_t(j)] = reduced;
                    way[std::size_t(j)] = column;
                }
                if (least[std::size_t(j)] < delta) {
                    delta = least[std::size_t(j)];
                    next = j;
                }
            }
            for (int j = 0; j <= columns; ++j) {
                if (used[std::size_t(j)]) {
                    u[std::size_t(rowOf[std::size_t(j)])] += delta;
                    v[std::size_t(j)] -= delta;
                } else {
                    least[std::size_t(j)] -= delta;
                }
            }
            column = next;
        } while (rowOf[std::size_t(column)] != 0);
        do {
            const int previous = way[std::size_t(column)];
            rowOf[std::size_t(column)] = rowOf[std::size_t(previous)];
            column = previous;
        } while (column != 0);
    }
    std::vector<int> columnOf(std::size_t(rows), -1);
    for (int j = 1; j <= columns; ++j) {
        if (rowOf[std::size_t(j)] > 0)
            columnOf[std::size_t(rowOf[std::size_t(j)] - 1)] = j - 1;
    }
    return columnOf;
}

// By disc and track number, when the files' numbers say it all; empty otherwise.
QList<int> matchByNumbers(const QList<LookupFile> &files, const Release &release,
                          const QList<TrackRef> &tracks)
{
    QHash<qint64, int> byNumber;
    for (int i = 0; i < tracks.size(); ++i) {
        const Medium &medium = release.media[tracks[i].medium];
        const Track &track = medium.tracks[tracks[i].track];
        const int number = track.position > 0 ? track.position : leadingNumber(track.number);
        byNumber.insert(qint64(medium.position) << 32 | number, i);
    }
    QList<int> result;
    QSet<int> taken;
    for (const LookupFile &file : files) {
        // Without a disc number a file can only be on the one disc there is.
        int disc = file.disc;
        if (disc == 0 && release.media.size() == 1)
            disc = release.media.first().position;
        const auto found = byNumber.constFind(qint64(disc) << 32 | file.track);
        if (file.track <= 0 || disc <= 0 || found == byNumber.cend() || taken.contains(*found))
            return {};
        taken.insert(*found);
        result.append(*found);
    }
    return result;
}

void add(QList<TagProperty> *values, const char *key, const QStringList &given)
{
    QStringList kept;
    for (const QString &value : given) {
        if (!value.trimmed().isEmpty())
            kept.append(value);
    }
    if (!kept.isEmpty())
        values->append({QLatin1String(key), kept});
}

void add(QList<TagProperty> *values, const char *key, const QString &value)
{
    add(values, key, QStringList {value});
}

} // namespace

LookupFile lookupFile(const QString &path, const TagRecord &record)
{
    LookupFile file;
    file.path = path;
    file.title = first(record, "TITLE");
    file.artist = first(record, "ARTIST");
    file.album = first(record, "ALBUM");
    file.albumArtist = first(record, "ALBUMARTIST");
    file.date = first(record, "DATE");
    file.barcode = first(record, "BARCODE");
    file.catalogNumber = first(record, "CATALOGNUMBER");
    file.track = leadingNumber(first(record, "TRACKNUMBER"));
    file.disc = leadingNumber(first(record, "DISCNUMBER"));
    file.lengthMs = record.audio().present ? record.audio().lengthMs : 0;
    return file;
}

AlbumFacts albumFacts(const QList<LookupFile> &files)
{
    // The value most files share, for each field.
    const auto common = [&files](QString LookupFile::*field) {
        QHash<QString, int> counts;
        QString best;
        for (const LookupFile &file : files) {
            const QString &value = file.*field;
            if (!value.isEmpty() && ++counts[value] > counts.value(best))
                best = value;
        }
        return best;
    };
    AlbumFacts facts;
    facts.album = common(&LookupFile::album);
    facts.artist = common(&LookupFile::albumArtist);
    if (facts.artist.isEmpty())
        facts.artist = common(&LookupFile::artist);
    facts.date = common(&LookupFile::date);
    facts.barcode = common(&LookupFile::barcode);
    facts.catalogNumber = common(&LookupFile::catalogNumber);
    facts.trackCount = int(files.size());
    return facts;
}

QString searchQuery(const AlbumFacts &facts)
{
    // A phrase of the query syntax: quotes and backslashes escaped.
    const auto phrase = [](QString text) {
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        text.replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    };
    QStringList required;
    if (!facts.album.isEmpty())
        required.append(QStringLiteral("release:") + phrase(facts.album));
    if (!facts.artist.isEmpty())
        required.append(QStringLiteral("artist:") + phrase(facts.artist));
    QStringList terms {required.join(QLatin1String(" AND "))};
    if (facts.trackCount > 0)
        terms.append(QStringLiteral("tracks:%1").arg(facts.trackCount));
    if (!facts.barcode.isEmpty())
        terms.append(QStringLiteral("barcode:") + phrase(facts.barcode));
    if (!facts.catalogNumber.isEmpty())
        terms.append(QStringLiteral("catno:") + phrase(facts.catalogNumber));
    terms.removeAll(QString());
    return terms.join(QLatin1Char(' '));
}

int candidateScore(const Release &release, const AlbumFacts &facts)
{
    double total = 0;
    double weights = 0;
    const auto count = [&](double weight, double likeness) {
        total += weight * likeness;
        weights += weight;
    };
    if (!facts.album.isEmpty())
        count(30, similarity(facts.album, release.title));
    if (!facts.artist.isEmpty())
        count(25, similarity(facts.artist, creditText(release.artists)));
    if (facts.trackCount > 0)
        count(20, std::max(0.0, 1.0 - std::abs(release.trackCount - facts.trackCount) / 5.0));
    if (facts.date.size() >= 4)
        count(5, release.date.left(4) == facts.date.left(4) ? 1.0 : 0.0);
    if (!facts.barcode.isEmpty())
        count(40, normalized(release.barcode) == normalized(facts.barcode) ? 1.0 : 0.0);
    if (!facts.catalogNumber.isEmpty()) {
        bool same = false;
        for (const LabelInfo &label : release.labels)
            same = same || normalized(label.catalogNumber) == normalized(facts.catalogNumber);
        count(35, same ? 1.0 : 0.0);
    }
    return weights > 0 ? int(std::lround(100.0 * total / weights)) : release.serverScore;
}

double similarity(const QString &a, const QString &b)
{
    return normalizedSimilarity(normalized(a), normalized(b));
}

QList<int> matchFiles(const QList<LookupFile> &files, const Release &release)
{
    const QList<TrackRef> tracks = allTracks(release);
    if (files.isEmpty() || tracks.isEmpty())
        return QList<int>(files.size(), -1);
    QList<int> byNumbers = matchByNumbers(files, release, tracks);
    if (!byNumbers.isEmpty())
        return byNumbers;

    // Rows are the smaller side; the cost of a pair is how unlike file and track are.
    const bool filesAreRows = files.size() <= tracks.size();
    const int rows = int(filesAreRows ? files.size() : tracks.size());
    const int columns = int(filesAreRows ? tracks.size() : files.size());
    QStringList titles;
    for (const TrackRef &ref : tracks)
        titles.append(normalized(release.media[ref.medium].tracks[ref.track].title));
    std::vector<double> likeness(std::size_t(files.size()) * std::size_t(tracks.size()));
    for (qsizetype f = 0; f < files.size(); ++f) {
        const QString title = fileTitle(files[f]);
        for (qsizetype t = 0; t < tracks.size(); ++t) {
            const Track &track = release.media[tracks[t].medium].tracks[tracks[t].track];
            const bool lengths = files[f].lengthMs > 0 && track.lengthMs > 0;
            const bool named = !title.isEmpty() && !titles[t].isEmpty();
            double value = 0;
            if (named && lengths)
                value = 0.6 * normalizedSimilarity(title, titles[t])
                        + 0.4 * lengthLikeness(files[f].lengthMs, track.lengthMs);
            else if (named)
                value = normalizedSimilarity(title, titles[t]);
            else if (lengths)
                value = lengthLikeness(files[f].lengthMs, track.lengthMs);
            likeness[std::size_t(f) * std::size_t(tracks.size()) + std::size_t(t)] = value;
        }
    }
    std::vector<double> cost(std::size_t(rows) * std::size_t(columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::size_t f = std::size_t(filesAreRows ? r : c);
            const std::size_t t = std::size_t(filesAreRows ? c : r);
            cost[std::size_t(r) * std::size_t(columns) + std::size_t(c)]
                    = 1.0 - likeness[f * std::size_t(tracks.size()) + t];
        }
    }
    const std::vector<int> assigned = cheapestAssignment(cost, rows, columns);
    QList<int> result(files.size(), -1);
    for (int r = 0; r < rows; ++r) {
        const int c = assigned[std::size_t(r)];
        if (c < 0)
            continue;
        const int f = filesAreRows ? r : c;
        const int t = filesAreRows ? c : r;
        if (likeness[std::size_t(f) * std::size_t(tracks.size()) + std::size_t(t)] >= leastLikeness)
            result[f] = t;
    }
    return result;
}

QList<TagProperty> trackValues(const Release &release, const TrackRef &ref)
{
    QList<TagProperty> values;
    if (ref.medium < 0 || ref.medium >= release.media.size() || ref.track < 0
        || ref.track >= release.media[ref.medium].tracks.size())
        return values;
    const Medium &medium = release.media[ref.medium];
    const Track &track = medium.tracks[ref.track];
    const ArtistCredit &artists = track.artists.isEmpty() ? release.artists : track.artists;
    QStringList labels, catalogNumbers;
    for (const LabelInfo &label : release.labels) {
        if (!label.label.isEmpty())
            labels.append(label.label);
        if (!label.catalogNumber.isEmpty())
            catalogNumbers.append(label.catalogNumber);
    }
    labels.removeDuplicates();
    catalogNumbers.removeDuplicates();
    // A vinyl side's "A1" is no number a tag takes: the position then.
    int number = leadingNumber(track.number);
    if (number == 0 || QString::number(number) != track.number)
        number = track.position > 0 ? track.position : ref.track + 1;
    const int trackCount = std::max(medium.trackCount, int(medium.tracks.size()));

    add(&values, "TITLE", track.title);
    add(&values, "ARTIST", creditText(artists));
    add(&values, "ARTISTS", creditNames(artists));
    add(&values, "ALBUM", release.title);
    add(&values, "ALBUMARTIST", creditText(release.artists));
    add(&values, "DATE", release.date);
    add(&values, "ORIGINALDATE", release.originalDate);
    add(&values, "TRACKNUMBER", QStringLiteral("%1/%2").arg(number).arg(trackCount));
    add(&values, "DISCNUMBER",
        QStringLiteral("%1/%2")
                .arg(std::max(medium.position, ref.medium + 1))
                .arg(release.media.size()));
    add(&values, "DISCSUBTITLE", medium.title);
    add(&values, "MEDIA", medium.format);
    add(&values, "LABEL", labels);
    add(&values, "CATALOGNUMBER", catalogNumbers);
    add(&values, "BARCODE", release.barcode);
    add(&values, "ASIN", release.asin);
    add(&values, "ISRC", track.isrcs);
    add(&values, "RELEASECOUNTRY", release.country);
    add(&values, "RELEASESTATUS", release.status);
    add(&values, "RELEASETYPE", release.types);
    add(&values, "SCRIPT", release.script);
    add(&values, "LANGUAGE", release.language);
    add(&values, "ARTISTSORT", creditSortText(artists));
    add(&values, "ALBUMARTISTSORT", creditSortText(release.artists));
    add(&values, "MUSICBRAINZ_TRACKID", track.recordingId);
    add(&values, "MUSICBRAINZ_RELEASETRACKID", track.id);
    add(&values, "MUSICBRAINZ_ALBUMID", release.id);
    add(&values, "MUSICBRAINZ_RELEASEGROUPID", release.groupId);
    add(&values, "MUSICBRAINZ_ARTISTID", creditIds(artists));
    add(&values, "MUSICBRAINZ_ALBUMARTISTID", creditIds(release.artists));
    return values;
}

} // namespace musicbrainz
