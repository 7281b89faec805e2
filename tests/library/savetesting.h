// Helpers of the saveTag tests: records to save, pictures set up and read back with TagLib
// directly, so that the checks do not rest on readTag.
#ifndef SAVETESTING_H
#define SAVETESTING_H

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/stat.h>

#include <taglib/tbytevector.h>

#include "quillet.h"

namespace testsupport {

struct Picture
{
    int type = 3;
    QString mime;
    QString description;
    QByteArray bytes;
    int width = 0; // FLAC only
    int height = 0;
    int depth = 0;
    int colours = 0;
};

// Bytes that begin like a JPEG file and differ per seed; saveTag does not look inside.
QByteArray coverBytes(const QByteArray &seed, int size = 2048);

// One line per picture, for comparisons with readable failures.
QString describe(const Picture &picture);
QStringList describe(const QList<Picture> &pictures);

TagLib::ByteVector byteVector(const QByteArray &bytes);
QByteArray byteArray(const TagLib::ByteVector &bytes);

// The pictures of a file in file order, read with TagLib directly: ID3v2 "APIC" frames, ASF
// "WM/Picture", FLAC pictures, Xiph METADATA_BLOCK_PICTURE, MP4 "covr" images (type -1) and APE
// "Cover Art (Front)" and "(Back)" items (types 3 and 4, the file name as description). The
// kind is the one TagLib opens the file as.
QList<Picture> picturesOf(const QString &path);
QList<Picture> mpegPictures(const QString &path);
QList<Picture> asfPictures(const QString &path);
QList<Picture> flacPictures(const QString &path);
bool addPictures(const QString &path, const QList<Picture> &pictures);

// The ID3v2 COMM frames of a file, as "language/description/text" in file order; and adding
// frames given so.
QStringList id3v2Comments(const QString &path);
bool addId3v2Comments(const QString &path, const QStringList &comments);

struct Fields
{
    QString title;
    QString artist;
    QString album;
    QString comment;
    QString genre;
    unsigned int year = 0;
    unsigned int track = 0;
};

Fields fieldsOf(const QString &path);

// A record with text in every field, non-BMP characters included.
tagstruct record(const QString &year = QStringLiteral("2012"),
                 const QString &track = QStringLiteral("7"));
extern const QString recordTitle;

// Calls saveTag with picture as the new cover (none when empty).
int save(const QString &path, tagstruct tag, const QByteArray &picture = QByteArray());

// Every entry of a folder, hidden ones included, sorted.
QStringList entriesOf(const QString &folder);
// lstat of path; zeros when there is none.
struct stat statOf(const QString &path);
bool setMode(const QString &path, mode_t mode);

// An MP3 file of `size` bytes or a little more: an ID3v2 tag with a title, the cover when one
// is given, and TagLib's padding; then silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz)
// without a Xing header, so that TagLib takes the length from the size of the stream.
bool makeLongMpeg(const QString &path, qint64 size, const QByteArray &cover = QByteArray());
int lengthInMilliseconds(const QString &path);

// Runs work in a forked child and kills it once stop (given the milliseconds since the start)
// says so. True when the child finished first.
bool runUntil(const std::function<int()> &work, const std::function<bool(qint64)> &stop);

// Holds an advisory lock on path as a running save (exclusive) or a reader (shared) does: an
// open file description lock on the whole file. Returns the descriptor to close, or -1.
int holdLock(const QString &path, bool exclusive);

// The names a save keeps beside the file at path while it runs.
QString journalOf(const QString &path);
QString copyOf(const QString &path);

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::Picture)

#endif // SAVETESTING_H
