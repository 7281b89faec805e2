// Every key of the files selected in a session, as a table to edit in place.
#ifndef SELECTIONTAGSMODEL_H
#define SELECTIONTAGSMODEL_H

#include "sessionrow.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QStringList>

class TagSession;

// One row per key that a selected file holds, in the order first met, then the fields added and
// not yet given a value. The value column holds the values one per line, or "<different values>"
// where the files differ, which stays so in every file unless edited. Each edit is one step on the
// session's undo stack, for every selected file.
class SelectionTagsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FieldColumn, ValueColumn };
    // The row's key, upper case.
    static constexpr int KeyRole = Qt::UserRole;
    // True where the selected files hold different values.
    static constexpr int DiffersRole = Qt::UserRole + 1;

    explicit SelectionTagsModel(TagSession *session, QObject *parent = nullptr);

    void setSelection(const QList<RowId> &ids);
    QList<RowId> selection() const { return m_selection; }

    // The text shown where the files differ.
    static QString differentValues();
    // The field table's label of the key, or the key itself.
    static QString labelOf(const QString &key);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // The value column takes one value a line; no text removes the key.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row of the key, added without values when no selected file has it (the files get it
    // with the first value typed). -1 for an empty key or no selection.
    int addField(const QString &key);
    // Removes the row's key from every selected file, as one step.
    void removeField(int row);
    int rowOf(const QString &key) const;

private:
    struct Entry
    {
        QString key;
        QStringList values; // the first file's, when they differ
        bool differs = false;
    };

    QList<Entry> entries() const;
    void refresh(const QList<RowId> &changed, const QStringList &keys);
    bool refreshKey(const QString &key, const QList<const SessionRow *> &changed,
                    const SessionRow *first);
    QList<const SessionRow *> presentRows() const;
    void pruneSelection();
    void sync();

    QPointer<TagSession> m_session;
    QList<RowId> m_selection;
    QSet<RowId> m_selected;
    QList<Entry> m_entries;
    QStringList m_added; // keys added that no selected file has yet
};

#endif // SELECTIONTAGSMODEL_H
