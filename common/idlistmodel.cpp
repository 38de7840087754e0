#include "idlistmodel.h"

IdListModel::IdListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

IdListModel::IdListModel(const List &list, QObject *parent)
    : QAbstractListModel(parent)
    , m_list(list)
{
}

void IdListModel::setList(const List &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

int IdListModel::rowOfId(int id) const
{
    for (int row = 0; row < m_list.size(); ++row) {
        if (m_list.at(row).id == id)
            return row;
    }
    return -1;
}

int IdListModel::idAt(int row) const
{
    return row >= 0 && row < m_list.size() ? m_list.at(row).id : 0;
}

QString IdListModel::nameAt(int row) const
{
    return row >= 0 && row < m_list.size() ? m_list.at(row).name : QString();
}

int IdListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int IdListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IdListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Entry &entry = m_list.at(index.row());
    if (role == Qt::UserRole)
        return entry.id;
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return index.column() == IdColumn ? QVariant(entry.id) : QVariant(entry.name);
    return QVariant();
}
