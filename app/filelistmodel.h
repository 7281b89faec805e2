// The files of the list: what each holds, what the user changed, and how its save went.
#ifndef FILELISTMODEL_H
#define FILELISTMODEL_H

#include "fileentry.h"
#include "tagedit.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>

#include <bitset>
#include <vector>

// A table of files, one row each: the file name, the seven fields and whether there is a cover.
// The fields are edited in memory, from the table's cells or the form, until they are saved;
// a cover chosen for a row is kept as its bytes (shared by every row it was chosen for).
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FileNameColumn, CoverColumn = 1 + int(tagFields.size()), ColumnCount };
    // What a column is sorted by: numbers as numbers, a file name without its marks.
    static constexpr int SortRole = Qt::UserRole;

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The field a column shows; nullptr for the file name and cover columns.
    static const TagField *fieldOf(int column);
    static int columnOf(const TagField &field);

    void clear();
    void append(const std::vector<FileEntry> &entries, std::size_t from, std::size_t to);
    // rows in any order.
    void remove(QList<int> rows);

    QString path(int row) const;
    // After the file was renamed: the row keeps its fields and changes.
    void setPath(int row, const QString &path);
    // The field's text as the row holds it now, edited or as read.
    QString text(int row, const TagField &field) const;
    // Sets the field in memory; the row counts as modified when the text differs.
    void setText(int row, const TagField &field, const QString &text);
    void setText(const QList<int> &rows, const TagField &field, const QString &text);
    // The cover to save into each of rows; empty bytes change nothing.
    void setNewCover(const QList<int> &rows, const QByteArray &bytes);
    QByteArray newCover(int row) const;
    // The cover the row shows: the new one, or the file's; 0 when there is none.
    quint64 coverId(int row) const;
    FieldTexts texts(int row) const;
    // What a save of the row writes: the fields set since it was read, and the new cover.
    TagEdit edit(int row) const;
    // Each row's path and fields as they are now, edits included: what the name pattern
    // dialogs take.
    QList<FileFields> fileFields(const QList<int> &rows) const;
    // What the row's file holds beside its tags, as last read.
    QString audio(int row) const { return m_rows.at(std::size_t(row)).file.audio; }
    // The row of the file at path; -1 when it is not in the list.
    int rowOf(const QString &path) const;

    bool isModified(int row) const;
    bool anyModified() const { return m_modifiedCount > 0; }
    QList<int> modifiedRows() const;
    // After a save: the row shows what the file holds now, unmodified.
    void replace(int row, const FileEntry &entry);
    // Why the row's file could not be read or saved; shown with its name. Empty clears it.
    void setProblem(int row, const QString &problem);
    QString problem(int row) const;

signals:
    void modificationChanged(bool modified);

private:
    struct Row
    {
        FileEntry file; // texts as edited, the rest as read
        QByteArray newCover;
        quint64 newCoverId = 0;
        bool modified = false;
        std::bitset<tagFields.size()> edited; // the fields set since the file was read
    };
    QString fileNameText(const Row &row) const;
    void setModified(int row);
    void changeModifiedCount(int by);
    // The text set, the row marked modified; false when it was the text already.
    bool changeText(int row, const TagField &field, const QString &text);
    void rowChanged(int row);
    // Every row from the first to the last of rows.
    void rowsChanged(const QList<int> &rows);

    std::vector<Row> m_rows;
    int m_modifiedCount = 0;
};

#endif // FILELISTMODEL_H
