// Renders the History and Compare dialogs with sample backups into PNG files (used by
// tools/screenshot-safety.sh; run it under a display server).
#include "backupstore.h"
#include "comparedialog.h"
#include "configfile.h"
#include "configsnapshot.h"
#include "configuratorresources.h"
#include "deviceconfig.h"
#include "differencetable.h"
#include "historydialog.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

namespace {

bool save(QWidget *widget, const QString &fileName)
{
    widget->show();
    QCoreApplication::processEvents();
    const bool ok = widget->grab().save(fileName);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(fileName));
    return ok;
}

void evening(DeviceConfig &c)
{
    c.set_config_name(DeviceName::fromString(QStringLiteral("Evening")));
    c.set_master_gain(70);
    c.set_global_spring_gain(60);
    c.set_spring_lpf_hz(125);
    c.set_default_spring_coef_pos_x(2048);
    c.set_grip_type(6);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ntavik.*.info=false"));
    initConfiguratorResources();
    registerConfigMetaTypes();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QTemporaryDir root;
    BackupStore store(root.path());
    const QString serial = QStringLiteral("TVK-0042");
    const QDateTime start(QDate(2026, 12, 1), QTime(19, 30, 12));
    DeviceConfig c;
    evening(c);
    store.write(ConfigSnapshot::fromConfig(c), serial, start);
    c.set_master_gain(80);
    c.set_damper_lpf_hz(60);
    store.write(ConfigSnapshot::fromConfig(c), serial, start.addDays(3).addSecs(4000));
    c.set_config_name(DeviceName::fromString(QStringLiteral("Race")));
    c.set_global_spring_gain(85);
    c.set_swap_xy(1);
    store.write(ConfigSnapshot::fromConfig(c), serial, start.addDays(8).addSecs(-2000));

    // The window: the evening profile with a few edits.
    DeviceConfig window;
    evening(window);
    window.set_master_gain(75);
    window.set_max_psu_current(35);

    bool ok = true;
    HistoryDialog history(&store, serial, &window);
    history.selectBackup(1);
    ok &= save(&history, dir + QStringLiteral("/history-dialog.png"));

    DeviceConfig file;
    evening(file);
    file.set_master_gain(90);
    file.set_spring_lpf_hz(80);
    file.set_default_spring_coef_pos_x(3072);
    file.set_grip_type(7);
    const QString path = root.filePath(QStringLiteral("friend.tavconf"));
    exportConfig(file, path, serial);
    CompareDialog compare(&store, serial, &window);
    compare.compareWithFile(path);
    compare.table()->item(0, 0)->setCheckState(Qt::Checked);
    compare.table()->item(2, 0)->setCheckState(Qt::Checked);
    ok &= save(&compare, dir + QStringLiteral("/compare-dialog.png"));
    return ok ? 0 : 1;
}
