#include "historydialog.h"

#include "deviceconfig.h"
#include "differencetable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
enum Column { ColumnDate, ColumnName, ColumnDifferences };
constexpr const char *kDateFormat = "yyyy-MM-dd hh:mm:ss";
} // namespace

HistoryDialog::HistoryDialog(
    BackupStore *store, const QString &serialNumber, DeviceConfig *config, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_serialNumber(serialNumber)
    , m_config(config)
{
    setObjectName(QStringLiteral("history_dialog"));
    setWindowTitle(QStringLiteral("Configuration History"));

    auto *layout = new QVBoxLayout(this);
    auto *where = new QLabel(
        QStringLiteral("Backups of the base %1, kept in %2")
            .arg(serialNumber.isEmpty() ? QStringLiteral("without serial number") : serialNumber,
                m_store->folder(serialNumber)),
        this);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setWordWrap(true);
    layout->addWidget(where);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("history_list"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Configuration name"),
        QStringLiteral("Differences")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);

    m_differences = new DifferenceTable(this);
    m_differences->setObjectName(QStringLiteral("history_differences"));
    m_differences->setSideNames(QStringLiteral("This window"), QStringLiteral("Backup"));
    layout->addWidget(m_differences, 2);

    m_problems = new QLabel(this);
    m_problems->setObjectName(QStringLiteral("history_problems"));
    m_problems->setWordWrap(true);
    m_problems->hide();
    layout->addWidget(m_problems);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_restore = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("b_restore"));
    m_restore->setToolTip(QStringLiteral(
        "Load this backup into the window. Nothing is sent: Apply or Store it as usual."));
    m_restore->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, &HistoryDialog::restoreSelected);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &HistoryDialog::showSelected);

    // Values arriving from the base while the dialog is open change the counts; many changes
    // of one image give one refresh.
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, &HistoryDialog::refresh);
    connect(m_config, &BaseConfig::parameterChanged, m_refresh, qOverload<>(&QTimer::start));

    resize(760, 560);
    reload();
}

void HistoryDialog::reload()
{
    QStringList problems;
    m_entries = m_store->list(m_serialNumber, &problems);
    m_list->clear();
    for (const BackupStore::Entry &entry : m_entries) {
        auto *item = new QTreeWidgetItem(m_list);
        QString date = entry.time.toString(QLatin1String(kDateFormat));
        if (entry.sequence > 1)
            date += QStringLiteral(" (%1)").arg(entry.sequence);
        item->setText(ColumnDate, date);
        item->setText(ColumnName, entry.snapshot.configName());
        item->setToolTip(ColumnDate, entry.path);
    }
    if (problems.isEmpty()) {
        m_problems->hide();
    } else {
        m_problems->setText(QStringLiteral("%1 file(s) in the folder skipped: %2")
                                .arg(problems.size())
                                .arg(problems.join(QStringLiteral("; "))));
        m_problems->show();
    }
    if (m_entries.isEmpty())
        m_differences->setRowCount(0);
    refresh();
}

void HistoryDialog::refresh()
{
    const ConfigSnapshot here = ConfigSnapshot::fromConfig(*m_config);
    for (int row = 0; row < m_entries.size(); ++row) {
        const int n = configDifferences(here, m_entries.at(row).snapshot).size();
        m_list->topLevelItem(row)->setText(
            ColumnDifferences, n == 0 ? QStringLiteral("same") : QString::number(n));
    }
    showSelected();
}

void HistoryDialog::selectBackup(int row)
{
    if (row >= 0 && row < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(row));
}

void HistoryDialog::showSelected()
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    m_restore->setEnabled(row >= 0);
    if (row < 0) {
        m_differences->setRowCount(0);
        return;
    }
    m_differences->showDifferences(
        ConfigSnapshot::fromConfig(*m_config), m_entries.at(row).snapshot);
}

bool HistoryDialog::restoreSelected()
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    if (row < 0 || row >= m_entries.size())
        return false;
    const BackupStore::Entry entry = m_entries.at(row);
    {
        // One edit of the user's (one undo step), not a file's values.
        const BaseConfig::OriginScope scope(*m_config, BaseConfig::ChangeOrigin::User);
        entry.snapshot.applyAllTo(*m_config);
    }
    refresh();
    Q_EMIT restored(entry.path, entry.time);
    return true;
}
