// Renders the effect panel and the gain-map dialog with a sample configuration into PNG files
// (used by tools/screenshot-widgets.sh; run it under a display server).
#include "configuratorresources.h"
#include "deviceconfig.h"
#include "effectsettings.h"
#include "mappingchart.h"
#include "mappingdialog.h"
#include "section.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>

#include <cstdio>

namespace {
bool save(QWidget *widget, const QString &fileName)
{
    QCoreApplication::processEvents();
    const bool ok = widget->grab().save(fileName);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(fileName));
    return ok;
}

void bindCurve(MappingChart *chart, DeviceConfig *config)
{
    QObject::connect(chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged), config,
        &DeviceConfig::set_spring_mapping);
    QObject::connect(
        config, &DeviceConfig::spring_mappingChanged, chart, &MappingChart::setMapping);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SUFFIX\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString suffix = QString::fromLocal8Bit(argv[2]);
    initConfiguratorResources();
    registerConfigMetaTypes();
    QFontDatabase::addApplicationFont(QStringLiteral(":/NotoSansSymbols.ttf"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    DeviceConfig config;
    EffectSettings panel(QStringLiteral("Spring"), true, nullptr);
    panel.hideFilter(true);
    auto *sticky = new QCheckBox(QString::fromUtf8("Sticky \u2139\ufe0f"));
    auto *recenter = new QCheckBox(QStringLiteral("Adaptive Recentering"));
    panel.extraLayout()->addWidget(sticky);
    panel.extraLayout()->addWidget(recenter);
    panel.enableBox()->setChecked(true);
    panel.set_gain_pos_x(2048);
    panel.set_gain_neg_x(2048);
    panel.set_gain_pos_y(2048);
    panel.set_gain_neg_y(2048);
    panel.set_saturation_pos_x(4096);
    panel.set_saturation_neg_x(4096);
    panel.set_saturation_pos_y(3072);
    panel.set_saturation_neg_y(3072);
    panel.set_deadband_pos_x(41);
    panel.set_deadband_pos_y(41);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel))
        return 1;
    panel.advancedSection()->headerButton()->click();
    QTest::qWait(300);
    panel.adjustSize();
    QTest::qWait(100);
    bool ok = save(&panel, dir + QStringLiteral("/effect-panel") + suffix + QStringLiteral(".png"));

    MappingDialog *dialog = panel.mappingDialog();
    dialog->setWindowTitle(QStringLiteral("Spring Mapping"));
    bindCurve(dialog->chartX(), &config);
    DeviceMappingData curve;
    const int8_t xs[] = {-127, -80, -30, 0, 30, 80, 127};
    const int8_t ys[] = {-127, -60, -15, 0, 15, 60, 127};
    curve.count = 7;
    for (int i = 0; i < 7; ++i) {
        curve.x[i] = xs[i];
        curve.y[i] = ys[i];
    }
    config.set_spring_mapping(curve);
    dialog->chartX()->setCurrentValue(0.35f);
    dialog->chartY()->setCurrentValue(-0.2f);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog))
        return 1;
    QTest::qWait(200);
    ok = save(dialog, dir + QStringLiteral("/mapping-dialog") + suffix + QStringLiteral(".png"))
        && ok;
    return ok ? 0 : 1;
}
