#include "sessionsortmodel.h"

SessionSortModel::SessionSortModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

void SessionSortModel::sort(int column, Qt::SortOrder order)
{
    QAbstractItemModel *source = sourceModel();
    if (source && column >= 0 && column < source->columnCount()) {
        const int rows = source->rowCount();
        m_keys.reserve(std::size_t(rows));
        for (int row = 0; row < rows; ++row)
            m_keys.push_back(source->index(row, column).data(sortRole()));
        m_keyColumn = column;
    }
    QSortFilterProxyModel::sort(column, order);
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_keyColumn = -1;
}

bool SessionSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const std::size_t leftRow = std::size_t(left.row());
    const std::size_t rightRow = std::size_t(right.row());
    if (left.column() != m_keyColumn || right.column() != m_keyColumn || leftRow >= m_keys.size()
        || rightRow >= m_keys.size() || left.parent().isValid())
        return QSortFilterProxyModel::lessThan(left, right);
    return variantLessThan(m_keys[leftRow], m_keys[rightRow]);
}

// As QSortFilterProxyModel compares values: no value last, texts by the proxy's case and locale
// settings, anything else by QVariant's order.
bool SessionSortModel::variantLessThan(const QVariant &left, const QVariant &right) const
{
    if (!left.isValid())
        return false;
    if (!right.isValid())
        return true;
    if (left.typeId() == QMetaType::QString || right.typeId() == QMetaType::QString) {
        if (isSortLocaleAware())
            return left.toString().localeAwareCompare(right.toString()) < 0;
        return left.toString().compare(right.toString(), sortCaseSensitivity()) < 0;
    }
    return QVariant::compare(left, right) == QPartialOrdering::Less;
}
