#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

// Rows of (name, identifier) for combo boxes. Column 0 and Qt::UserRole carry the identifier,
// column 1 the name, so a combo box with modelColumn 1 shows the name and reads the identifier
// with currentData(Qt::UserRole).
class IdListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Entry
    {
        QString name;
        int id = 0;
        bool operator==(const Entry &other) const { return name == other.name && id == other.id; }
    };
    using List = QVector<Entry>;

    enum Column { IdColumn = 0, NameColumn = 1, ColumnCount = 2 };

    explicit IdListModel(QObject *parent = nullptr);
    explicit IdListModel(const List &list, QObject *parent = nullptr);

    // Replaces every row (one model reset).
    void setList(const List &list);
    const List &list() const { return m_list; }

    // First row whose identifier is id, or -1.
    int rowOfId(int id) const;
    // Identifier of a row; rows outside the list read as 0, like an empty combo box.
    int idAt(int row) const;
    QString nameAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    List m_list;
};
