// Renders the Scope with the simulated base streaming at 1 kHz: the time plot with the
// default traces, and the force-against-position view (used by tools/screenshot-scope.sh;
// run it under a display server).
//   scope-screenshot OUTPUT_DIR

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "scopepanel.h"
#include "scopewindow.h"
#include "simulatedbase.h"
#include "tavikcomm.h"
#include "telemetryrecorder.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget *widget, const QString &fileName)
{
    QCoreApplication::processEvents();
    const bool ok = widget->grab().save(fileName);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(fileName));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    QTemporaryDir flash;

    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    SimulatedBase base(flash.filePath(QStringLiteral("flash.bin")));
    base.setSeed(1);
    base.setTelemetryRate(1000);
    if (!base.open()) {
        std::fprintf(stderr, "cannot open the simulated base\n");
        return 1;
    }
    TavikComm comm(&config, &data, &effects);
    TelemetryRecorder recorder(&comm);
    comm.setPortOverride(base.slavePath());
    comm.start();

    ScopeWindow window(&recorder);
    window.resize(1100, 640);
    window.show();
    // Twelve seconds of streaming fill the 10 s window.
    QTest::qWait(12000);
    if (recorder.ring().isEmpty()) {
        std::fprintf(stderr, "no telemetry arrived\n");
        return 1;
    }
    ScopePanel *panel = window.panel();
    panel->setCursorTime(double(recorder.ring().lastTime()) - 2500);
    bool ok = save(&window, out.filePath(QStringLiteral("scope.png")));
    panel->findChild<QTabWidget *>(QStringLiteral("tabs_scope"))->setCurrentIndex(1);
    QTest::qWait(100);
    ok = save(&window, out.filePath(QStringLiteral("scope-xy.png"))) && ok;
    return ok ? 0 : 1;
}
