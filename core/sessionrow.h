// One row of an editing session (tagsession.h): a file's values as read, and the values the user
// set; and the reads and saves of one file that the session runs in the background.
#ifndef SESSIONROW_H
#define SESSIONROW_H

#include <QByteArray>
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

// What a read of a file gives the session; safe to make on any thread.
struct SessionRead
{
    QList<SessionValue> values;
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
    QByteArray newCover; // chosen for the next save; empty: the file's stays
    quint64 newCoverId = 0;
    bool modified = false;

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

// The file's report and front cover, as the report area and the cover area show them.
void readSessionDetails(const QString &path, QString *report, QByteArray *cover);

#endif // SESSIONROW_H
