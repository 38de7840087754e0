#include "differencetable.h"

#include <QHeaderView>

namespace {

enum Column { ColumnName, ColumnHere, ColumnThere, ColumnCount };

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
    return item;
}

} // namespace

DifferenceTable::DifferenceTable(QWidget *parent)
    : QTableWidget(0, ColumnCount, parent)
{
    setSideNames(QStringLiteral("Here"), QStringLiteral("There"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(ColumnName, QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(ColumnHere, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(ColumnThere, QHeaderView::Stretch);
}

void DifferenceTable::setSideNames(const QString &here, const QString &there)
{
    setHorizontalHeaderLabels({QStringLiteral("Parameter"), here, there});
}

int DifferenceTable::showDifferences(const ConfigSnapshot &here, const ConfigSnapshot &there)
{
    const QVector<int> differing = configDifferences(here, there);
    setRowCount(0);
    setRowCount(differing.size());
    for (int row = 0; row < differing.size(); ++row) {
        const int index = differing.at(row);
        QString a = here.displayValue(index);
        QString b = there.displayValue(index);
        // Two stored values may show alike after the unit conversion; then show them too.
        if (a == b) {
            a += QStringLiteral(" (%1)").arg(QString::fromUtf8(here.json(index)));
            b += QStringLiteral(" (%1)").arg(QString::fromUtf8(there.json(index)));
        }
        QTableWidgetItem *name = readOnlyItem(QString::fromLatin1(configParameter(index).name));
        name->setData(Qt::UserRole, index);
        if (m_checkable) {
            name->setFlags(name->flags() | Qt::ItemIsUserCheckable);
            name->setCheckState(Qt::Unchecked);
        }
        setItem(row, ColumnName, name);
        setItem(row, ColumnHere, readOnlyItem(a));
        setItem(row, ColumnThere, readOnlyItem(b));
    }
    return differing.size();
}

QVector<int> DifferenceTable::parameters() const
{
    QVector<int> indices;
    for (int row = 0; row < rowCount(); ++row)
        indices << item(row, ColumnName)->data(Qt::UserRole).toInt();
    return indices;
}

QVector<int> DifferenceTable::checkedParameters() const
{
    QVector<int> indices;
    if (!m_checkable)
        return indices;
    for (int row = 0; row < rowCount(); ++row) {
        const QTableWidgetItem *name = item(row, ColumnName);
        if (name->checkState() == Qt::Checked)
            indices << name->data(Qt::UserRole).toInt();
    }
    return indices;
}

void DifferenceTable::setAllChecked(bool checked)
{
    if (!m_checkable)
        return;
    for (int row = 0; row < rowCount(); ++row)
        item(row, ColumnName)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}
