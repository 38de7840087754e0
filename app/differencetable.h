#pragma once
// A table of the parameters in which two configurations differ: name, the value on each side
// in the Settings tab's units, and optionally a tick box per row (unticked at first).

#include "configsnapshot.h"

#include <QTableWidget>
#include <QVector>

class DifferenceTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit DifferenceTable(QWidget *parent = nullptr);

    void setSideNames(const QString &here, const QString &there);
    void setCheckable(bool checkable) { m_checkable = checkable; }
    // Lists the parameters both name with different values; returns their number.
    int showDifferences(const ConfigSnapshot &here, const ConfigSnapshot &there);

    // Parameter indices of the rows, in row order.
    QVector<int> parameters() const;
    QVector<int> checkedParameters() const;
    void setAllChecked(bool checked);

private:
    bool m_checkable = false;
};
