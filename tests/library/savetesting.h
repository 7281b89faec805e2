// Helpers of the saveTag tests: records to save, pictures set up and read back with TagLib
// directly, so that the checks do not rest on readTag.
#ifndef SAVETESTING_H
#define SAVETESTING_H

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

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

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::Picture)

#endif // SAVETESTING_H
