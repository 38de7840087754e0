#include "idlistmodel.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QtTest>

class TestIdListModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rolesAndColumns();
    void resetReplacesRows();
    void comboShowsNameAndReadsId();
    void lookups_data();
    void lookups();
};

static const IdListModel::List kRows = {{QStringLiteral("Disabled"), 0},
    {QStringLiteral("Master Gain"), 1}, {QStringLiteral("Periodic Effects Gain"), 11}};

void TestIdListModel::rolesAndColumns()
{
    IdListModel model(kRows);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.index(2, 0).data(Qt::DisplayRole), QVariant(11));
    QCOMPARE(
        model.index(2, 1).data(Qt::DisplayRole), QVariant(QStringLiteral("Periodic Effects Gain")));
    QCOMPARE(model.index(2, 0).data(Qt::UserRole), QVariant(11));
    QCOMPARE(model.index(2, 1).data(Qt::UserRole), QVariant(11));
    QVERIFY(!model.index(3, 0).isValid());
    QVERIFY(!model.index(0, 2).isValid());
    // A list has no children below its rows.
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
}

void TestIdListModel::resetReplacesRows()
{
    IdListModel model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setList(kRows);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.list(), kRows);
    model.setList({});
    QCOMPARE(reset.count(), 2);
    QCOMPARE(model.rowCount(), 0);
}

void TestIdListModel::comboShowsNameAndReadsId()
{
    IdListModel model(kRows);
    QComboBox combo;
    combo.setModel(&model);
    combo.setModelColumn(IdListModel::NameColumn);
    combo.setCurrentIndex(1);
    QCOMPARE(combo.currentText(), QStringLiteral("Master Gain"));
    QCOMPARE(combo.currentData(Qt::UserRole), QVariant(1));
    combo.setCurrentIndex(-1);
    QCOMPARE(combo.currentData(Qt::UserRole).toInt(), 0);
}

void TestIdListModel::lookups_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("row");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("later") << 11 << 2;
    QTest::newRow("missing") << 2 << -1;
}

void TestIdListModel::lookups()
{
    QFETCH(int, id);
    QFETCH(int, row);
    IdListModel model(kRows);
    QCOMPARE(model.rowOfId(id), row);
    QCOMPARE(model.idAt(row), row < 0 ? 0 : id);
    QCOMPARE(model.nameAt(99), QString());
}

QTEST_MAIN(TestIdListModel)
#include "tst_idlistmodel.moc"
