// The rows of a model sorted by a column, each row's sort value asked for once per sort.
#ifndef SESSIONSORTMODEL_H
#define SESSIONSORTMODEL_H

#include <QSortFilterProxyModel>
#include <QVariant>

#include <vector>

// A sort of thousands of rows compares each row some thirty times: the source's values are taken
// once into a table first, as QSortFilterProxyModel would compare them.
class SessionSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit SessionSortModel(QObject *parent = nullptr);

    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    bool variantLessThan(const QVariant &left, const QVariant &right) const;

    // Per source row, while a sort runs; empty otherwise.
    std::vector<QVariant> m_keys;
    int m_keyColumn = -1;
};

#endif // SESSIONSORTMODEL_H
