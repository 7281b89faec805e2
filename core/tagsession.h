// One editing session over one or many files: what each file holds, what the user changed in it,
// reading and saving in the background, and the undo of every change.
#ifndef TAGSESSION_H
#define TAGSESSION_H

#include "filerenamer.h"
#include "namepattern.h"
#include "sessionrow.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <vector>

class QUndoStack;

// A table of files, one row each: its name, the keys chosen as columns and whether it has a
// cover. Each row holds every key its file gave, and the values the user set, until they are
// saved. Every change goes through the undo stack, one step per action; undo after a save gives
// back the values from before it, as changes not saved. Rows are named by their RowId, which
// lasts while the row is in the session, so background work finds its row whatever was removed
// or sorted meanwhile.
class TagSession : public QAbstractTableModel
{
    Q_OBJECT

public:
    // What a column is sorted by: numbers as numbers, a file name without its marks.
    static constexpr int SortRole = Qt::UserRole;
    // The row's RowId, for views that sort or filter.
    static constexpr int RowIdRole = Qt::UserRole + 1;
    static constexpr int FileNameColumn = 0;

    explicit TagSession(QObject *parent = nullptr);
    ~TagSession() override;

    QUndoStack *undoStack() const { return m_undo; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The keys shown as columns after the file name, the cover's column last. The seven of the
    // form at first, in the field table's order of columns.
    QStringList columnKeys() const { return m_columns; }
    void setColumnKeys(const QStringList &keys);
    static QStringList defaultColumnKeys();
    int coverColumn() const { return 1 + int(m_columns.size()); }
    // The key a column shows; empty for the file name and the cover.
    QString keyOf(int column) const;
    int columnOf(const QString &key) const; // -1 when it is not shown

    // Empties the session and its undo, and reads the files in the background; rows come in
    // the files' order as they are read (rowsInserted), readFinished() last.
    void open(const QList<SessionFile> &files);
    // Empties the session; reading and saving still running are dropped.
    void clear();
    // Reads the files at once on the calling thread, as open() does in the background: one file
    // that the form shows as soon as it is opened.
    void openNow(const QList<SessionFile> &files);
    // Until readFinished(), the rows read all in.
    bool isReading() const { return m_readPending; }
    bool isSaving() const { return m_saving.isRunning(); }
    // Files to read, of those opened; rows read so far.
    qsizetype readTotal() const { return m_readFiles.size(); }
    // Stops reading and saving after the files being worked on now.
    void cancel();

    // Rows, by RowId.
    RowId idAt(int row) const { return m_rows.at(std::size_t(row)).id; }
    int rowOf(RowId id) const { return m_index.value(id, -1); }
    bool contains(RowId id) const { return m_index.contains(id); }
    QList<RowId> allIds() const;
    const SessionRow *row(RowId id) const;
    QString path(RowId id) const;
    // The values the row holds now, edited or as read; empty when the key has none.
    QStringList values(RowId id, const QString &key) const;
    // The values joined as one text, as the form and the list show them.
    QString text(RowId id, const QString &key) const;
    // Every key that one of the rows holds, in the order first met.
    QStringList keys(const QList<RowId> &ids) const;
    // The texts of the seven, with edits, for the name patterns.
    QList<FileFields> fileFields(const QList<RowId> &ids) const;
    // Equal bytes give equal ids; 0 for no cover. A cover chosen counts before the file's.
    quint64 coverId(RowId id) const;
    QByteArray newCover(RowId id) const;
    // The pictures the row holds now, edited or as read, the cover among them; the file's come
    // without their bytes.
    QList<SessionPicture> pictures(RowId id) const;
    // Where the bytes of one of them are: bytes() reads the file, so not on the GUI thread.
    SessionPictureSource pictureSource(RowId id, const SessionPicture &picture) const;

    bool isModified(RowId id) const;
    bool anyModified() const { return m_modifiedCount > 0; }
    QList<RowId> modifiedIds() const;

    // Changes, each one step of undo. Rows not in the session are left out.
    void setValues(const QList<RowId> &ids, const QString &key, const QStringList &values);
    // One text as typed: empty removes the key.
    void setText(const QList<RowId> &ids, const QString &key, const QString &text);
    void removeKey(const QList<RowId> &ids, const QString &key);
    // The cover to save into each row; empty bytes change nothing.
    void setCover(const QList<RowId> &ids, const QByteArray &bytes);
    // Per-file values worked out elsewhere (loudness, an online lookup), as one step.
    void applyValues(const QList<QPair<RowId, QList<SessionValue>>> &values,
                     const QString &undoText);
    void applyCovers(const QList<QPair<RowId, QByteArray>> &covers, const QString &undoText);
    // The cover chosen for each row is dropped, the file's own front cover to stay.
    void dropCover(const QList<RowId> &ids);
    // Pictures, named by type and description; each call one step. A save puts or removes only
    // the pictures changed so, the others stay as each file has them.
    // In each row, in place of its picture of that type and description, or beside the others.
    void putPicture(const QList<RowId> &ids, const SessionPicture &picture);
    // A new type or description for the picture of each row that has one of type and
    // description; a picture of the new ones is replaced by it.
    void changePicture(const QList<RowId> &ids, int type, const QString &description, int newType,
                       const QString &newDescription);
    void removePicture(const QList<RowId> &ids, int type, const QString &description);
    // Tracks "n/N" in the order given; with discs, each disc from 1.
    void numberTracks(const QList<RowId> &ids);
    // The fields the pattern reads from each file's name; rows whose name does not match are
    // left as they are. Returns how many matched.
    int tagsFromNames(const NamePattern &pattern, const QList<RowId> &ids);
    // Renames each file the plan renames, as one step whose undo puts them back. Returns the
    // files renamed; failures come as problems of their rows.
    int rename(const QList<QPair<RowId, QString>> &renames);
    // Out of the session, with their changes; undo steps on them then change nothing.
    void remove(const QList<RowId> &ids);

    // Saves the rows, each modified one, the others left alone; saveFinished() tells how it
    // went. A save still running takes the new rows after it.
    void save(const QList<RowId> &ids);
    void saveModified() { save(modifiedIds()); }
    // Saves at once on the calling thread, as save() does, saveFinished() included; for one
    // file, whose status the form tells when the save returns. Returns the first failure's
    // error, 0 when each file was saved, with its reason.
    int saveNow(const QList<RowId> &ids, QString *reason = nullptr);

    // The report of the row's file and its cover (the chosen one when pictures were edited), read
    // in the background; detailsRead()
    // brings them, the newest request only.
    void readDetails(RowId id);

signals:
    void modificationChanged(bool modified);
    void readProgress(qsizetype done, qsizetype total);
    void readFinished();
    void saveProgress(qsizetype done, qsizetype total);
    // failed: how many files could not be saved (their reason is the row's problem).
    void saveFinished(int failed);
    void renameFailed(const QString &path, const QString &reason);
    void detailsRead(RowId id, const QString &report, const QByteArray &cover);
    // Values of rows changed (not for rows inserted or removed).
    void valuesChanged(const QList<RowId> &ids);
    // The same, just before it, with the keys whose values may have changed in those rows: none
    // when only their names or problems did.
    void keysChanged(const QList<RowId> &ids, const QStringList &keys);
    // Pictures of rows changed, the cover among them (after valuesChanged).
    void picturesChanged(const QList<RowId> &ids);

private:
    friend class SessionCommand;
    friend class RenameCommand;
    struct Change
    {
        RowId id;
        QString key;
        QStringList before;
        QStringList after;
    };
    struct PictureChange
    {
        RowId id;
        QList<SessionPicture> before;
        QList<SessionPicture> after;
    };

    SessionRow *mutableRow(RowId id);
    // Sets without undo: what the undo steps call.
    void applyChanges(const QList<Change> &changes, bool after);
    void applyPictureChanges(const QList<PictureChange> &changes, bool after);
    void setRowValues(SessionRow &row, const QString &key, const QStringList &values);
    void setRowPictures(SessionRow &row, const QList<SessionPicture> &pictures);
    void pushPictureChanges(QList<PictureChange> changes, const QString &text);
    void keepBytes(const QHash<quint64, QByteArray> &removed);
    void setRowPath(RowId id, const QString &path);
    void pushChanges(QList<Change> changes, const QString &text, int mergeId = -1);
    void refreshModified(SessionRow &row);
    void changeModifiedCount(int by);
    void rowsChanged(const QList<RowId> &ids, const QStringList &keys = QStringList());
    void rebuildIndex();
    QString fileNameText(const SessionRow &row) const;
    void appendRead(int begin, int end);
    SessionRow readRow(const SessionFile &file, const SessionRead &read);
    void readingDone();
    void savedAt(int begin, int end);
    struct SaveJob;
    struct SaveResult;
    QList<SaveJob> saveJobs(const QList<RowId> &ids) const;
    static SaveResult runSave(const SaveJob &job);
    // Returns whether the row is still in the session; adds to keys those whose values may have
    // changed, and tells whether its pictures did.
    bool applySaved(const SaveJob &job, const SaveResult &result, QStringList *keys,
                    bool *picturesChanged);
    void describeColumns();
    void savingDone();

    std::vector<SessionRow> m_rows;
    QHash<RowId, int> m_index;
    QStringList m_columns;
    // Per column after the file name: whether it sorts as a number; the labels of the header.
    QList<bool> m_numeric;
    QStringList m_labels;
    QUndoStack *m_undo;
    int m_modifiedCount = 0;
    RowId m_nextId = 1;
    QThreadPool m_pool;

    QList<SessionFile> m_readFiles;
    QFutureWatcher<SessionRead> m_reading;
    int m_appended = 0; // the files read that are rows
    bool m_readPending = false;

    struct SaveJob
    {
        RowId id;
        QString path;
        QList<SessionValue> changes;
        bool picturesEdited = false;
        QList<SessionPicture> readPictures;
        QList<SessionPicture> pictures;
        QHash<quint64, QByteArray> kept; // bytes of pictures the file no longer holds
        // Set by cancel(): the files not begun yet are left alone, and say so.
        std::shared_ptr<std::atomic<bool>> stop;
    };
    struct SaveResult
    {
        RowId id;
        int error = 0;
        QString reason;
        SessionRead read; // what the file holds after the save
        QHash<quint64, QByteArray> removed; // bytes of the pictures the save took out
        bool skipped = false; // cancelled before it began
    };
    QList<SaveJob> m_saveJobs;
    QList<RowId> m_saveQueued;
    QFutureWatcher<SaveResult> m_saving;
    std::shared_ptr<std::atomic<bool>> m_saveStop;
    int m_saveFailed = 0;
    int m_lastRenamed = 0;
    int m_savedCount = 0;

    struct Details
    {
        RowId id;
        QString report;
        QByteArray cover;
    };
    QFutureWatcher<Details> m_details;
    RowId m_detailsWanted = 0;

    // Bytes of pictures a save took out of their files, for an undo after it, up to
    // keptLimit bytes in all; pictures beyond cannot be put back after their save.
    static constexpr qint64 keptLimit = 64 * 1024 * 1024;
    QHash<quint64, QByteArray> m_keptBytes;
    qint64 m_keptSize = 0;
};

#endif // TAGSESSION_H
