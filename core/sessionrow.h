// One row of an editing session (tagsession.h): a file's values and pictures as read, and those
// the user set; and the reads and saves of one file that the session runs in the background.
#ifndef SESSIONROW_H
#define SESSIONROW_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Names a row for as long as it is in its session, whatever rows come and go around it.
using RowId = quint64;

// One key and its values, in the file's order. Keys are upper case ("ALBUMARTIST").
struct SessionValue
{
    QString key;
    QStringList values;
};

// A file to open: its path, and the folder opened that it was found under (empty when it was
// named itself), where a rename's folders are made.
struct SessionFile
{
    QString path;
    QString root = QString();
};

// One picture of a file as a row holds it: what it is and which bytes, the bytes themselves only
// when the user gave them (a folder's rows would hold every cover otherwise). A row holds at most
// one picture of a type and description: a put of one replaces the other.
struct SessionPicture
{
    int type = 3; // 0..20, as ID3v2 numbers them; 3 the front cover
    QString mime; // empty: the type the bytes show
    QString description;
    qint64 size = 0;
    int width = 0; // 0 when unknown
    int height = 0;
    quint64 dataId = 0; // sessionCoverId of the bytes
    QByteArray data; // the user's picture; empty for the file's own, read when needed

    bool sameKey(int otherType, const QString &otherDescription) const
    {
        return type == otherType && description == otherDescription;
    }
    // The same picture as far as a save goes: the bytes are named by dataId.
    bool operator==(const SessionPicture &other) const
    {
        return type == other.type && description == other.description && mime == other.mime
                && dataId == other.dataId;
    }
    bool operator!=(const SessionPicture &other) const { return !(*this == other); }

    // What the user's bytes are: their size, and the width and height their header gives.
    static SessionPicture of(int type, const QString &description, const QByteArray &bytes);
};

// Where a picture's bytes are: its own, or in the file, found by their id. Safe to use on any
// thread; bytes() reads the file, so not on the GUI thread.
struct SessionPictureSource
{
    QString path;
    quint64 dataId = 0;
    QByteArray data;

    // Empty when the file no longer holds them.
    QByteArray bytes() const;
};

// The picture a row shows as its cover: the first front cover, else the first "other" picture
// (formats without types hold their cover so). -1 when there is none.
qsizetype sessionFrontPicture(const QList<SessionPicture> &pictures);

// What a read of a file gives the session; safe to make on any thread.
struct SessionRead
{
    QList<SessionValue> values;
    QList<SessionPicture> pictures; // without their bytes
    quint64 coverId = 0; // 0: no cover
    QString audio; // what the file holds beside its tags; a rename's undo checks it
    QString problem; // why the file could not be read; empty when it was

    static SessionRead of(const QString &path);
};

struct SessionRow
{
    RowId id = 0;
    QString path;
    QString root;
    QString problem;
    QString audio;
    QMap<QString, QStringList> read; // what the file holds, as last read or saved
    QMap<QString, QStringList> edits; // the keys set to other values than read; empty: removed
    QStringList order; // the keys in the order the file has them, then those added
    quint64 coverId = 0; // the file's
    // The front picture of newPictures when the user gave it; empty: the file's stays.
    QByteArray newCover;
    quint64 newCoverId = 0;
    QList<SessionPicture> pictures; // the file's, as last read or saved
    QList<SessionPicture> newPictures; // the pictures to save, when picturesEdited
    bool picturesEdited = false;
    bool modified = false;

    const QList<SessionPicture> &currentPictures() const
    {
        return picturesEdited ? newPictures : pictures;
    }

    QStringList values(const QString &key) const
    {
        const auto edited = edits.constFind(key);
        return edited != edits.cend() ? *edited : read.value(key);
    }
};

// Equal bytes give equal ids, never 0.
quint64 sessionCoverId(const QByteArray &bytes);

// Saves changes (empty values: the key goes) and, unless cover is empty, cover as the front
// cover. 0 when saved; otherwise the file is as it was and reason says why.
int saveSessionFile(const QString &path, const QList<SessionValue> &changes,
                    const QByteArray &cover, QString *reason);

// The same, with the row's pictures: those of shown that differ from read (by type and
// description) are put or removed, the others left as the file has them. Bytes the pictures do not
// carry are taken from kept, else from the file; removed gets the bytes of the file's pictures
// that the save removed or replaced (for an undo after it), when not null.
int saveSessionFile(const QString &path, const QList<SessionValue> &changes,
                    const QList<SessionPicture> &read, const QList<SessionPicture> &shown,
                    const QHash<quint64, QByteArray> &kept, QHash<quint64, QByteArray> *removed,
                    QString *reason);

// The file's report and front cover, as the report area and the cover area show them.
void readSessionDetails(const QString &path, QString *report, QByteArray *cover);

#endif // SESSIONROW_H
