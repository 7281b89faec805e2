// The pictures of the files selected in a session, as a list to edit in place.
#ifndef SELECTIONPICTURESMODEL_H
#define SELECTIONPICTURESMODEL_H

#include "sessionrow.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QSet>

class TagSession;

// One row per type and description of picture that a selected file holds. Where the files hold
// different pictures of it, or not all of them hold one, the size says "<different pictures>":
// an edit of the row acts on each file's own picture, and nothing acts on one unless asked.
// Thumbnails are decoded off the GUI thread, the file read there when the session does not hold
// the bytes; DecorationRole gives them once they are ready.
class SelectionPicturesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TypeColumn, DescriptionColumn, SizeColumn };
    // The picture type's number (EditRole of the type column gives it too).
    static constexpr int TypeRole = Qt::UserRole;
    static constexpr int DiffersRole = Qt::UserRole + 1;
    static constexpr int thumbnailSide = 64;

    explicit SelectionPicturesModel(TagSession *session, QObject *parent = nullptr);

    void setSelection(const QList<RowId> &ids);
    QList<RowId> selection() const { return m_selection; }

    // "Front cover", "Back cover", ... for the ID3v2 types 0 to 20.
    static QString typeName(int type);
    static QString differentPictures();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // The type column takes a type's number, the description column a text.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The image bytes as a picture of the type and description in every selected file, in place
    // of one of the same type and description. False when the bytes hold no image.
    bool addPicture(int type, const QString &description, const QByteArray &bytes);
    void removePicture(int row);
    // The picture of the row as its first selected file holds it, for a save to a file.
    SessionPictureSource source(int row) const;
    QString mimeOf(int row) const;

private:
    struct Entry
    {
        SessionPicture picture; // the first selected file's
        RowId first = 0;
        bool differs = false;
    };

    QList<Entry> entries() const;
    void refresh(const QList<RowId> &changed);
    void pruneSelection();
    void thumbnailFor(const Entry &entry) const;
    void thumbnailReady(quint64 dataId, const QImage &image);

    QPointer<TagSession> m_session;
    QList<RowId> m_selection;
    QSet<RowId> m_selected;
    QList<Entry> m_entries;
    // By the bytes' id: pictures met in one file are often met in many.
    QHash<quint64, QImage> m_thumbnails;
    mutable QSet<quint64> m_decoding;
};

#endif // SELECTIONPICTURESMODEL_H
