#include "comparedialog.h"

#include "applog.h"
#include "deviceconfig.h"
#include "differencetable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CompareDialog::CompareDialog(
    BackupStore *store, const QString &serialNumber, DeviceConfig *config, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_config(config)
{
    setObjectName(QStringLiteral("compare_dialog"));
    setWindowTitle(QStringLiteral("Compare Configuration"));

    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Compare with:"), this));
    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("cb_compare_source"));
    m_source->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row->addWidget(m_source, 1);
    auto *file = new QPushButton(QStringLiteral("File…"), this);
    file->setObjectName(QStringLiteral("b_compare_file"));
    file->setToolTip(QStringLiteral("Compare with a configuration file"));
    row->addWidget(file);
    layout->addLayout(row);

    m_sourceLabel = new QLabel(this);
    m_sourceLabel->setObjectName(QStringLiteral("label_compare_source"));
    m_sourceLabel->setWordWrap(true);
    m_sourceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_sourceLabel);

    m_table = new DifferenceTable(this);
    m_table->setObjectName(QStringLiteral("compare_table"));
    m_table->setCheckable(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_take = buttons->addButton(QStringLiteral("Take ticked values"), QDialogButtonBox::ActionRole);
    m_take->setObjectName(QStringLiteral("b_take_ticked"));
    m_take->setToolTip(QStringLiteral(
        "Write the ticked values into the window. Nothing is sent: Apply or Store as usual."));
    m_take->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_take, &QPushButton::clicked, this, &CompareDialog::takeTicked);
    connect(file, &QPushButton::clicked, this, &CompareDialog::chooseFile);
    connect(m_table, &QTableWidget::itemChanged, this,
        [this] { m_take->setEnabled(!m_table->checkedParameters().isEmpty()); });

    m_backups = m_store->list(serialNumber);
    m_source->addItem(QStringLiteral("(choose a backup or a file)"));
    for (const BackupStore::Entry &entry : m_backups) {
        QString text = QStringLiteral("Backup of %1")
                           .arg(entry.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        const QString name = entry.snapshot.configName();
        if (!name.isEmpty())
            text += QStringLiteral(" – %1").arg(name);
        m_source->addItem(text);
    }
    connect(m_source, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index > 0)
            compareWithBackup(index - 1);
    });

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, &CompareDialog::refresh);
    connect(m_config, &BaseConfig::parameterChanged, m_refresh, qOverload<>(&QTimer::start));

    resize(760, 520);
    showSource(m_backups.isEmpty() ? QStringLiteral("No backups of this base yet.") : QString());
}

void CompareDialog::showSource(const QString &text)
{
    m_sourceLabel->setText(text);
    m_sourceLabel->setStyleSheet(m_error.isEmpty() ? QString() : QStringLiteral("color: #c00000;"));
}

bool CompareDialog::compareWithFile(const QString &path)
{
    ConfigSnapshot there;
    const ConfigFileResult read = ConfigSnapshot::fromFile(path, &there);
    if (!read) {
        m_error = read.error;
        qCWarning(lcApp).noquote() << "Compare:" << read.error;
        m_haveThere = false;
        m_table->setRowCount(0);
        m_take->setEnabled(false);
        showSource(QStringLiteral("Cannot compare: %1").arg(read.error));
        return false;
    }
    m_error.clear();
    m_there = there;
    m_haveThere = true;
    m_source->setCurrentIndex(0);
    m_table->setSideNames(QStringLiteral("This window"), QStringLiteral("File"));
    refresh();
    showSource(QStringLiteral("%1 (%2 parameters named)").arg(path).arg(there.count()));
    return true;
}

bool CompareDialog::compareWithBackup(int index)
{
    if (index < 0 || index >= m_backups.size())
        return false;
    m_error.clear();
    m_there = m_backups.at(index).snapshot;
    m_haveThere = true;
    m_source->setCurrentIndex(index + 1);
    m_table->setSideNames(QStringLiteral("This window"), QStringLiteral("Backup"));
    refresh();
    showSource(m_backups.at(index).path);
    return true;
}

void CompareDialog::chooseFile()
{
    const QString path = QFileDialog::getOpenFileName(this,
        QStringLiteral("Compare with a Configuration File"), m_startFolder,
        QStringLiteral("Device Config (*.tavconf)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    m_startFolder = QFileInfo(path).absolutePath();
    compareWithFile(path);
}

void CompareDialog::refresh()
{
    if (!m_haveThere)
        return;
    // Keep the ticks of rows that are still there.
    const QVector<int> ticked = m_table->checkedParameters();
    m_table->blockSignals(true);
    const int n = m_table->showDifferences(ConfigSnapshot::fromConfig(*m_config), m_there);
    for (int row = 0; row < n; ++row) {
        QTableWidgetItem *name = m_table->item(row, 0);
        if (ticked.contains(name->data(Qt::UserRole).toInt()))
            name->setCheckState(Qt::Checked);
    }
    m_table->blockSignals(false);
    m_take->setEnabled(!m_table->checkedParameters().isEmpty());
}

int CompareDialog::takeTicked()
{
    const QVector<int> ticked = m_table->checkedParameters();
    int taken = 0;
    {
        // The user's choice: one edit (one undo step).
        const BaseConfig::OriginScope scope(*m_config, BaseConfig::ChangeOrigin::User);
        for (int index : ticked)
            taken += m_there.applyTo(*m_config, index) ? 1 : 0;
    }
    refresh();
    if (taken > 0)
        Q_EMIT valuesTaken(taken);
    return taken;
}
