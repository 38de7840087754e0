#include "configsafety.h"

#include "applog.h"
#include "comparedialog.h"
#include "deviceconfig.h"
#include "historydialog.h"
#include "modifiedmarkers.h"
#include "tavikcomm.h"
#include "undohistory.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

namespace {
constexpr int kFailureMessageMs = 8000;
constexpr int kRestoredMessageMs = 4000;
} // namespace

ConfigSafety::ConfigSafety(DeviceConfig *config, TavikComm *comm, QMainWindow *window)
    : QObject(window)
    , m_config(config)
    , m_comm(comm)
    , m_window(window)
{
    // The base runs what it reports as active; a stored configuration it only shows.
    connect(m_config, &BaseConfig::changesFinished, this,
        [this](BaseConfig::ChangeOrigin origin) { m_lastOrigin = origin; });
    connect(m_comm, &TavikComm::configReceived, this, &ConfigSafety::onConfigReceived);
    // Whatever sent the window's values (Apply, Store, a dialog), the base now holds them.
    connect(m_comm, &TavikComm::configSent, this, &ConfigSafety::configurationSent);

    // Stays in the status bar (unlike a message, which the next one replaces) until a backup
    // succeeds again.
    m_failureLabel
        = new QLabel(QStringLiteral("<span style=\"color:#c00000;\">Backup failed</span>"));
    m_failureLabel->setObjectName(QStringLiteral("label_backup_failed"));
    m_failureLabel->hide();
    m_window->statusBar()->addPermanentWidget(m_failureLabel, 0);
}

QString ConfigSafety::serialNumber() const
{
    return m_comm->serialNumber();
}

void ConfigSafety::install(QMenuBar *menuBar, ConfigBinder *binder, QTabWidget *tabs)
{
    m_undo = new UndoHistory(m_config, this);
    m_undo->addMenu(menuBar);
    addMenu(menuBar);
    if (binder && tabs)
        m_markers = new ModifiedMarkers(m_config, binder, this, tabs, this);
}

void ConfigSafety::addMenu(QMenuBar *menuBar)
{
    QMenu *menu = menuBar->addMenu(QStringLiteral("&Configuration"));
    menu->setObjectName(QStringLiteral("menu_configuration"));
    QAction *history
        = menu->addAction(QStringLiteral("History…"), this, &ConfigSafety::openHistory);
    history->setObjectName(QStringLiteral("action_history"));
    history->setToolTip(QStringLiteral("Backups of the connected base; restore one"));
    QAction *compare
        = menu->addAction(QStringLiteral("Compare…"), this, &ConfigSafety::openCompare);
    compare->setObjectName(QStringLiteral("action_compare"));
    compare->setToolTip(QStringLiteral("Compare with a file or a backup; take some of its values"));
}

void ConfigSafety::onConfigReceived()
{
    const ConfigSnapshot received = ConfigSnapshot::fromConfig(*m_config);
    const bool active = m_lastOrigin != BaseConfig::ChangeOrigin::StoredConfig;
    m_lastOrigin = BaseConfig::ChangeOrigin::User;
    if (active || !m_haveBase) {
        m_base = received;
        m_haveBase = true;
        Q_EMIT baseConfigurationChanged();
    }
    const QString serial = serialNumber();
    if (m_backedUp.contains(serial))
        return;
    if (backup(QStringLiteral("first configuration"), received).isEmpty())
        m_backedUp.insert(serial);
}

void ConfigSafety::configurationSent()
{
    m_base = ConfigSnapshot::fromConfig(*m_config);
    m_haveBase = true;
    Q_EMIT baseConfigurationChanged();
}

QString ConfigSafety::backup(const QString &action)
{
    if (!m_haveBase) {
        const QString reason
            = QStringLiteral("no configuration has been received from the base yet");
        reportFailure(action, reason);
        return reason;
    }
    return backup(action, m_base);
}

QString ConfigSafety::backup(const QString &action, const ConfigSnapshot &configuration)
{
    QString reason;
    {
        const BackupStore::Result r = m_store.write(configuration, serialNumber());
        if (r) {
            m_failureLabel->hide();
            m_lastError.clear();
            if (r.status == BackupStore::Result::Written)
                qCInfo(lcApp).noquote() << "Backup before" << action << "written to" << r.path;
            return QString();
        }
        reason = r.error;
    }
    reportFailure(action, reason);
    return reason;
}

void ConfigSafety::reportFailure(const QString &action, const QString &reason)
{
    m_lastError = reason;
    qCWarning(lcApp).noquote() << "Backup before" << action << "failed:" << reason;
    m_window->statusBar()->showMessage(
        QStringLiteral("Backup failed: %1").arg(reason), kFailureMessageMs);
    m_failureLabel->setToolTip(QStringLiteral("The last backup (before %1) failed: %2\nBackups "
                                              "are kept in %3")
                                   .arg(action, reason, m_store.folder(serialNumber())));
    m_failureLabel->show();
    Q_EMIT backupFailed(reason);
}

bool ConfigSafety::backupBeforeStore()
{
    const QString reason = backup(QStringLiteral("Store"));
    if (reason.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Backup failed"),
        QStringLiteral("The base's configuration could not be backed up before the Store:\n%1\n\n"
                       "Store the window's configuration anyway?")
            .arg(reason),
        QMessageBox::Yes | QMessageBox::No, m_window);
    box.setObjectName(QLatin1String(kStoreQuestionName));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ConfigSafety::backupBefore(const QString &action)
{
    backup(action);
}

void ConfigSafety::openHistory()
{
    HistoryDialog dialog(&m_store, serialNumber(), m_config, m_window);
    connect(
        &dialog, &HistoryDialog::restored, this, [this](const QString &, const QDateTime &time) {
            m_window->statusBar()->showMessage(
                QStringLiteral("Backup of %1 restored into the window: Apply or Store to send it")
                    .arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))),
                kRestoredMessageMs);
        });
    dialog.exec();
}

void ConfigSafety::openCompare()
{
    CompareDialog dialog(&m_store, serialNumber(), m_config, m_window);
    connect(&dialog, &CompareDialog::valuesTaken, this, [this](int count) {
        m_window->statusBar()->showMessage(
            QStringLiteral("%1 value(s) taken into the window: Apply or Store to send them")
                .arg(count),
            kRestoredMessageMs);
    });
    dialog.exec();
}
