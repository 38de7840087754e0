// The live view and the Debug tab of the main window against the simulated base served over a
// pty in this process: telemetry into the raw buttons, bars and grid; effect rows; device
// messages; the command line; the maintenance buttons; the range calibration; the force sweep;
// and paced drawing.

#include "autocalibration.h"
#include "axisview.h"
#include "calibrationsweepdialog.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "debugconsole.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "framepacer.h"
#include "hatindicator.h"
#include "livepanel.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "simulatedbase.h"
#include "tavikcomm.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {

constexpr int kSettingsTab = 1;
constexpr int kDebugTab = 2;

// A telemetry payload with the fields a test sets.
struct Telemetry
{
    QByteArray bytes = QByteArray(DataPacket::kMessageSize, '\0');
    Telemetry() { bytes[0] = char(wire::MsgTelemetry); }
    Telemetry &put(int at, quint64 value, int size)
    {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = char((value >> (8 * i)) & 0xFF);
        return *this;
    }
    Telemetry &xy(int x, int y) { return put(1, quint16(x), 2).put(3, quint16(y), 2); }
    Telemetry &raw(int x, int y) { return put(19, quint16(x), 2).put(21, quint16(y), 2); }
};

QByteArray effectReport(int id, int type)
{
    QByteArray r(30, '\0');
    r[0] = char(wire::MsgEffect);
    r[1] = char(id);
    r[2] = char(type);
    r[3] = char(0x00);
    r[4] = char(0x10);
    r[5] = char(1);
    return r;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The program's process-wide objects, the simulated base (no telemetry or effects of its
// own unless a test asks) and the window.
struct Rig
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm {&config, &data, &effects};
    SimulatedBase sim;
    std::unique_ptr<MainWindow> window;
    int configs = 0;

    explicit Rig(int telemetryRate = 0)
    {
        sim.setSeed(3);
        sim.setTelemetryRate(telemetryRate);
        sim.model().setEffectsEnabled(false);
        QObject::connect(&comm, &TavikComm::configReceived, [this] { ++configs; });
        window = std::make_unique<MainWindow>(&config, &comm, &data, &effects);
        window->show();
        effects.startExpiryTimer();
    }
    ~Rig() { window.reset(); }

    bool connect()
    {
        QString slave;
        if (!sim.open(&slave))
            return false;
        comm.setPortOverride(slave);
        comm.start();
        return QTest::qWaitFor([this] { return comm.isConnected() && configs > 0; }, 5000);
    }
    template<typename T> T *find(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    DebugConsole *console() const { return window->debugConsole(); }
    LivePanel *panel() const { return window->livePanel(); }
    QTextBrowser *text() const { return find<QTextBrowser>("debug_text"); }
    QString lastLine() const
    {
        const QStringList lines = text()->toPlainText().split(QLatin1Char('\n'));
        for (int i = lines.size() - 1; i >= 0; --i) {
            if (!lines.at(i).isEmpty())
                return lines.at(i);
        }
        return QString();
    }
    void showTab(int index) { find<QTabWidget>("tabWidget")->setCurrentIndex(index); }
    // Payloads the base received since the last clear, of one type.
    QList<QByteArray> received(int type) const
    {
        QList<QByteArray> out;
        for (const QByteArray &p : sim.receivedPayloads()) {
            if (!p.isEmpty() && uint8_t(p.at(0)) == type)
                out.append(p);
        }
        return out;
    }
    void run(const QString &line)
    {
        find<QLineEdit>("cmdline")->setText(line);
        QTest::keyClick(find<QLineEdit>("cmdline"), Qt::Key_Return);
    }
};

} // namespace

class TestDebugTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void telemetryLightsButtonsAndMovesTheLiveView();
    void effectRowsInIdOrderAndExpire();
    void deviceTextIsTimestamped();
    void messagesFollowTheEndUnlessScrolledUp();
    void messagesKeepTheLastLines();
    void spiReadShowsRows();
    void spiReadWriteSendsTheBytes();
    void readWwSendsTheWord();
    void malformedCommandsSendNothing_data();
    void malformedCommandsSendNothing();
    void flashWw();
    void crashLogMenu();
    void maintenanceButtons();
    void logDataWritesSamples();
    void autoCalibrationWidensTheRanges();
    void autoCalibrationWithZeroGainWritesNothing();
    void closingDuringAutoCalibrationKeepsTheGain();
    void forceSweepRunsAndCancels();
    void burstIsDrawnAtTheScreensPace();
    void hiddenTabIsNotPainted();

private:
    std::unique_ptr<ModalAnswerer> answerer;
    QTemporaryDir settingsHome;
};

void TestDebugTab::initTestCase()
{
    QVERIFY(settingsHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavik"));
    QCoreApplication::setApplicationName(QStringLiteral("BrontelFFB-debugtab-test"));
    registerConfigMetaTypes();
    initConfiguratorResources();
}

void TestDebugTab::init()
{
    QSettings().clear();
    answerer = std::make_unique<ModalAnswerer>();
}

void TestDebugTab::cleanup()
{
    QVERIFY2(answerer->unexpected().isEmpty(), qPrintable(answerer->unexpected().join("; ")));
    QCOMPARE(answerer->pending(), 0);
    answerer.reset();
}

void TestDebugTab::telemetryLightsButtonsAndMovesTheLiveView()
{
    Rig rig;
    QVERIFY(rig.connect());
    QCOMPARE(rig.find<QProgressBar>("prog_z")->minimum(), -4096);
    QCOMPARE(rig.find<QProgressBar>("prog_rx")->maximum(), 255);
    QCOMPARE(rig.panel()->valueLabel(QStringLiteral("x"))->text(), QStringLiteral("-"));
    QVERIFY(!rig.panel()->valueLabel(QStringLiteral("hats")));

    Telemetry t;
    t.xy(123, -45).put(23, 250, 2).put(25, 4095, 2).put(29, 15, 2).put(37, 1234, 2);
    t.put(54, 0x8000000000000001ULL, 8).put(70, quint16(-2048), 2).put(72, 200, 1);
    t.put(73, 17, 1).put(74, 34, 1).put(75, 255, 1).put(41, 0xFF2F, 4);
    rig.sim.sendPayload(t.bytes);
    QTRY_VERIFY(rig.panel()->rawButton(0)->isChecked());

    for (int b = 0; b < 64; ++b) {
        QPushButton *button = rig.panel()->rawButton(b);
        const bool lit = b == 0 || b == 63;
        QCOMPARE(button->isChecked(), lit);
        QCOMPARE(button->isEnabled(), lit);
    }
    QCOMPARE(rig.panel()->rawButton(63)->text(), QStringLiteral("64"));
    QCOMPARE(rig.find<QProgressBar>("prog_z")->value(), -2048);
    QCOMPARE(rig.find<QProgressBar>("prog_rz")->value(), 200);
    QCOMPARE(rig.find<QProgressBar>("prog_rx")->value(), 17);
    QCOMPARE(rig.find<QProgressBar>("prog_ry")->value(), 34);
    QCOMPARE(rig.find<QProgressBar>("prog_slider")->value(), 255);

    // Numbers refresh on their own, slower pace.
    QTRY_COMPARE(rig.panel()->valueLabel(QStringLiteral("x"))->text(), QStringLiteral("0123"));
    QCOMPARE(rig.panel()->valueLabel(QStringLiteral("y"))->text(), QStringLiteral("-045"));
    QCOMPARE(rig.panel()->valueLabel(QStringLiteral("Ibus"))->text(), QStringLiteral("12.34A"));
    QCOMPARE(
        rig.panel()->valueLabel(QStringLiteral("cycle_time"))->text(), QStringLiteral("  250µs"));
    QCOMPARE(rig.panel()->valueLabel(QStringLiteral("pot_1"))->text(), QStringLiteral("100.0%"));
    QCOMPARE(rig.panel()->valueLabel(QStringLiteral("curr_x"))->text(), QStringLiteral("  1.5A"));

    const QVector<HatIndicator *> &hats = rig.panel()->hatIndicators();
    QCOMPARE(hats.size(), 4);
    QVERIFY(hats.at(1)->isPushed());
    QVERIFY(!hats.at(0)->isPushed());

    auto *view = rig.find<AxisView>("axisView");
    QVERIFY(view);
    const QPointF expected = view->chartPosition(123 / 4096.0, -45 / 4096.0);
    QVERIFY(std::fabs(view->positionDotPos().x() - expected.x()) < 0.5);
    QVERIFY(std::fabs(view->positionDotPos().y() - expected.y()) < 0.5);

    // Released: greyed out again.
    rig.sim.sendPayload(Telemetry().bytes);
    QTRY_VERIFY(!rig.panel()->rawButton(0)->isChecked());
    QVERIFY(!rig.panel()->rawButton(63)->isEnabled());
}

void TestDebugTab::effectRowsInIdOrderAndExpire()
{
    Rig rig;
    QVERIFY(rig.connect());
    auto *list = rig.find<QListView>("effects_list");
    QCOMPARE(list->model(), &rig.effects);
    for (int id : {7, 2, 5})
        rig.sim.sendPayload(effectReport(id, id == 2 ? 8 : 4));
    QTRY_COMPARE(list->model()->rowCount(), 3);
    QList<int> ids;
    for (int row = 0; row < 3; ++row)
        ids << list->model()->index(row, 0).data(EffectListModel::EffectIdRole).toInt();
    QCOMPARE(ids, (QList<int> {2, 5, 7}));
    // No more reports: they go, one per tick.
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 0, 5000);
}

void TestDebugTab::deviceTextIsTimestamped()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.console()->setClock([] { return QTime(12, 0, 1, 2); });
    rig.text()->clear();
    rig.sim.sendPayload(QByteArray("\0abc", 4));
    QTRY_COMPARE(rig.text()->toPlainText(), QStringLiteral("[12:00:01.002] abc"));
    // No line break is added: the next text continues on the same line.
    rig.sim.sendPayload(QByteArray("\0def\n", 5));
    QTRY_COMPARE(
        rig.text()->toPlainText(), QStringLiteral("[12:00:01.002] abc[12:00:01.002] def\n"));
}

void TestDebugTab::messagesFollowTheEndUnlessScrolledUp()
{
    Rig rig;
    rig.showTab(kDebugTab);
    QScrollBar *bar = rig.text()->verticalScrollBar();
    for (int i = 0; i < 300; ++i)
        rig.console()->appendDeviceText(QStringLiteral("line %1\n").arg(i));
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(0);
    rig.console()->appendDeviceText(QStringLiteral("more\n"));
    QCOMPARE(bar->value(), 0);

    bar->setValue(bar->maximum() - 3);
    const int before = bar->maximum();
    for (int i = 0; i < 20; ++i)
        rig.console()->appendDeviceText(QStringLiteral("follow %1\n").arg(i));
    QVERIFY(bar->maximum() > before);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestDebugTab::messagesKeepTheLastLines()
{
    Rig rig;
    for (int i = 0; i < DebugConsole::kMaxLines + 500; ++i)
        rig.console()->appendDeviceText(QStringLiteral("line %1\n").arg(i));
    QTextDocument *doc = rig.text()->document();
    QVERIFY(doc->blockCount() <= DebugConsole::kMaxLines);
    QVERIFY(rig.lastLine().endsWith(QStringLiteral("line %1").arg(DebugConsole::kMaxLines + 499)));
    // The last 10 000 lines, the empty line being written included.
    QVERIFY(!rig.text()->toPlainText().contains(QStringLiteral("] line 500\n")));
    QVERIFY(rig.text()->toPlainText().contains(QStringLiteral("] line 501\n")));
}

void TestDebugTab::spiReadShowsRows()
{
    Rig rig;
    QVERIFY(rig.connect());
    // The reply has 100 ms; on a busy machine one may miss that, so up to three tries.
    QStringList lines;
    for (int attempt = 0; attempt < 3 && lines.size() < 3; ++attempt) {
        rig.text()->clear();
        rig.sim.clearReceivedPayloads();
        rig.run(QStringLiteral("spi_rd 20"));
        QCOMPARE(rig.received(wire::MsgSpiRead).value(0), bytes({18, 20, 3}));
        lines = rig.text()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QVERIFY2(lines.size() >= 3, qPrintable(rig.text()->toPlainText()));
    QVERIFY(lines.at(0).endsWith(QStringLiteral("] SPI Read len:20")));
    const QRegularExpression row16(
        QStringLiteral("^\\[[0-9:.]+\\] ([0-9a-f]{2} ){15}[0-9a-f]{2}$"));
    const QRegularExpression row4(QStringLiteral("^\\[[0-9:.]+\\] ([0-9a-f]{2} ){3}[0-9a-f]{2}$"));
    QVERIFY2(row16.match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
    QVERIFY2(row4.match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    QCOMPARE(rig.find<QLineEdit>("cmdline")->text(), QStringLiteral("spi_rd 20"));
}

void TestDebugTab::spiReadWriteSendsTheBytes()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.sim.clearReceivedPayloads();
    rig.run(QStringLiteral("spi_rdwr 4 a0 ff"));
    const QVector<QByteArray> &got = rig.sim.receivedPayloads();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got.at(0), bytes({0x12, 0x04, 0x01}));
    QCOMPARE(got.at(1), bytes({0x11, 0x02, 0x02, 0xA0, 0xFF}));
}

void TestDebugTab::readWwSendsTheWord()
{
    Rig rig;
    QVERIFY(rig.connect());
    QString shown;
    // Up to three tries, as above: each waits at most 100 ms per reply.
    for (int attempt = 0; attempt < 3 && shown.isEmpty(); ++attempt) {
        rig.text()->clear();
        rig.sim.clearReceivedPayloads();
        rig.run(QStringLiteral("read_ww 12"));
        const QList<QByteArray> writes = rig.received(wire::MsgSpiWrite);
        QCOMPARE(writes.value(0), QByteArray("\x11\x04\x02$R12"));
        QCOMPARE(rig.received(wire::MsgSpiRead).size(), 2);
        // The simulated base answers "W12=<ms>", its length first; only those are shown.
        shown = rig.lastLine().section(QStringLiteral("] "), 1);
    }
    QVERIFY2(shown.startsWith(QStringLiteral("57 31 32 3d")), qPrintable(shown));
}

void TestDebugTab::malformedCommandsSendNothing_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("spi_rd alone") << "spi_rd"
                                  << "missing argument";
    QTest::newRow("spi_rd word") << "spi_rd x"
                                 << "is not a length";
    QTest::newRow("spi_rd negative") << "spi_rd -1"
                                     << "is not a length";
    QTest::newRow("spi_rd 256") << "spi_rd 256"
                                << "at most 255";
    QTest::newRow("spi_rd double blank") << "spi_rd  20"
                                         << "too many arguments";
    QTest::newRow("spi_rdwr alone") << "spi_rdwr"
                                    << "missing argument";
    QTest::newRow("spi_rdwr bad byte") << "spi_rdwr 4 zz"
                                       << "not a byte";
    QTest::newRow("spi_rdwr wide byte") << "spi_rdwr 4 1ff"
                                        << "not a byte";
    QTest::newRow("spi_rdwr trailing blank") << "spi_rdwr 4 a0 "
                                             << "not a byte";
    QTest::newRow("read_ww alone") << "read_ww"
                                   << "missing argument";
    QTest::newRow("read_ww long") << ("read_ww " + QString(260, 'w')) << "too long";
    QTest::newRow("flash_ww alone") << "flash_ww"
                                    << "missing argument";
    QTest::newRow("unknown") << "spi_read 4"
                             << "unknown command";
}

void TestDebugTab::malformedCommandsSendNothing()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    static Rig *rig = nullptr;
    static std::unique_ptr<Rig> holder;
    if (!rig) {
        holder = std::make_unique<Rig>();
        rig = holder.get();
        QVERIFY(rig->connect());
    }
    QTest::qWait(20);
    rig->sim.clearReceivedPayloads();
    rig->run(line);
    QTest::qWait(50);
    QVERIFY2(rig->sim.receivedPayloads().isEmpty(), qPrintable(line));
    QVERIFY2(rig->lastLine().contains(message), qPrintable(rig->lastLine()));
    if (QTest::currentDataTag() == QLatin1String("unknown"))
        holder.reset();
}

void TestDebugTab::flashWw()
{
    Rig rig;
    QVERIFY(rig.connect());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    rig.sim.clearReceivedPayloads();
    rig.run(QStringLiteral("flash_ww ") + dir.filePath(QStringLiteral("missing file.txt")));
    QVERIFY(rig.lastLine().contains(QStringLiteral("cannot open")));
    QTest::qWait(50);
    QVERIFY(rig.sim.receivedPayloads().isEmpty());

    // A line too long for one SPI write: the whole file is refused.
    const QString tooLong = dir.filePath(QStringLiteral("long.txt"));
    {
        QFile f(tooLong);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("short\n");
        f.write(QByteArray(300, 'a') + "\n");
    }
    rig.run(QStringLiteral("flash_ww ") + tooLong);
    QVERIFY2(rig.lastLine().contains(QStringLiteral("line 2 has 301 bytes")),
        qPrintable(rig.lastLine()));
    QTest::qWait(50);
    QVERIFY(rig.sim.receivedPayloads().isEmpty());

    // A good file, with a blank in its path: each line shown, then written.
    const QString good = dir.filePath(QStringLiteral("two lines.txt"));
    {
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("$W1=2\n$W3=4");
    }
    rig.run(QStringLiteral("flash_ww ") + good);
    const QList<QByteArray> writes = rig.received(wire::MsgSpiWrite);
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.at(0), QByteArray("\x11\x06\x02$W1=2\n"));
    QCOMPARE(writes.at(1), QByteArray("\x11\x05\x02$W3=4"));
    QVERIFY(rig.lastLine().endsWith(QStringLiteral("] $W3=4")));
}

void TestDebugTab::crashLogMenu()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.sim.clearReceivedPayloads();
    std::unique_ptr<QMenu> menu(rig.console()->createContextMenu(QPoint(5, 5)));
    QAction *print = nullptr, *erase = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == QLatin1String("Print Crash Log"))
            print = action;
        if (action->text() == QLatin1String("Erase Crash Log"))
            erase = action;
    }
    QVERIFY(print && erase);
    QVERIFY(menu->actions().size() > 2); // the standard entries are kept
    print->trigger();
    erase->trigger();
    QTRY_COMPARE(rig.sim.receivedPayloads().size(), 2);
    QCOMPARE(rig.sim.receivedPayloads().at(0), bytes({15}));
    QCOMPARE(rig.sim.receivedPayloads().at(1), bytes({16}));
    QCOMPARE(rig.text()->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestDebugTab::maintenanceButtons()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.showTab(kDebugTab);
    rig.sim.clearReceivedPayloads();
    rig.find<QPushButton>("b_reset_motors")->click();
    rig.find<QPushButton>("b_test_fans")->click();
    QTRY_VERIFY(rig.sim.model().fanOn());
    rig.find<QPushButton>("b_test_fans")->click();
    QTRY_COMPARE(rig.sim.receivedPayloads().size(), 3);
    QCOMPARE(rig.sim.receivedPayloads().at(0), bytes({21}));
    QCOMPARE(rig.sim.receivedPayloads().at(1), bytes({13, 1}));
    QCOMPARE(rig.sim.receivedPayloads().at(2), bytes({13, 0}));
}

void TestDebugTab::logDataWritesSamples()
{
    Rig rig;
    QVERIFY(rig.connect());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("samples.csv"));
    rig.comm.setSampleFileName(file);
    rig.showTab(kDebugTab);
    rig.find<QPushButton>("b_logdata")->click();
    QVERIFY(rig.window->statusBar()->currentMessage().contains(file));
    QTRY_VERIFY(rig.sim.model().sampling());
    QTRY_VERIFY(QFileInfo(file).size() > 200);
    rig.find<QPushButton>("b_logdata")->click();
    QTRY_VERIFY(!rig.sim.model().sampling());
    QVERIFY(rig.window->statusBar()->currentMessage().contains(file));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readLine();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+,x=-?\\d+,y=-?\\d+,.*\\r\\n$"))
                 .match(QString::fromLatin1(first))
                 .hasMatch(),
        first.constData());

    // A file that cannot be written is said so.
    rig.comm.setSampleFileName(dir.filePath(QStringLiteral("no/such/dir/samples.csv")));
    rig.find<QPushButton>("b_logdata")->click();
    QVERIFY(rig.window->statusBar()->currentMessage().startsWith(QStringLiteral("Cannot write")));
    rig.find<QPushButton>("b_logdata")->click();
}

void TestDebugTab::autoCalibrationWidensTheRanges()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.config.set_master_gain(80);
    rig.sim.sendPayload(Telemetry().raw(2000, 1000).bytes);
    QTRY_COMPARE(rig.data.raw_x(), int16_t(2000));
    rig.sim.clearReceivedPayloads();

    answerer->expectMessageBox(QMessageBox::Ok);
    rig.find<QPushButton>("b_autocal")->click();
    QCOMPARE(answerer->pending(), 0);
    QVERIFY(answerer->answered().value(0).startsWith(
        QStringLiteral("Starting autocalibration: Before starting calibration, Master Gain")));
    QCOMPARE(rig.config.master_gain(), uint8_t(0));
    QCOMPARE(rig.window->autoCalibration()->savedMasterGain(), uint8_t(80));
    // Sent with zero gain.
    QTRY_COMPARE(rig.received(wire::MsgApplyConfig).size(), 1);
    QTRY_COMPARE(rig.sim.model().activeField("master_gain"), 0);
    QCOMPARE(rig.config.x_angle_min(), int16_t(2000));
    QCOMPARE(rig.config.x_angle_max(), int16_t(2000));
    QCOMPARE(rig.config.y_angle_min(), int16_t(1000));
    QCOMPARE(rig.config.y_angle_max(), int16_t(1000));
    QVERIFY(rig.window->statusBar()->currentMessage().startsWith(
        QStringLiteral("Autocalibrate in progress!")));

    // Every raw position counts, not only the drawn ones.
    const int sweep[][2] = {{1500, 900}, {2600, 1200}, {1800, 700}, {2100, 1000}};
    for (const auto &p : sweep)
        rig.sim.sendPayload(Telemetry().raw(p[0], p[1]).bytes);
    QTRY_COMPARE(rig.data.raw_x(), int16_t(2100));
    QCOMPARE(rig.config.x_angle_min(), int16_t(1500));
    QCOMPARE(rig.config.x_angle_max(), int16_t(2600));
    QCOMPARE(rig.config.y_angle_min(), int16_t(700));
    QCOMPARE(rig.config.y_angle_max(), int16_t(1200));
    QCOMPARE(rig.received(wire::MsgApplyConfig).size(), 1); // nothing sent meanwhile

    rig.find<QPushButton>("b_autocal")->click();
    QCOMPARE(rig.config.master_gain(), uint8_t(80));
    QVERIFY(rig.window->statusBar()->currentMessage().startsWith(
        QStringLiteral("Autocalibrate finished.")));
    rig.sim.sendPayload(Telemetry().raw(-100, 5000).bytes);
    QTRY_COMPARE(rig.data.raw_x(), int16_t(-100));
    QCOMPARE(rig.config.x_angle_min(), int16_t(1500)); // no longer widening
    QTest::qWait(50);
    QCOMPARE(rig.received(wire::MsgApplyConfig).size(), 1);
}

void TestDebugTab::autoCalibrationWithZeroGainWritesNothing()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.config.set_master_gain(0);
    int writes = 0;
    connect(&rig.config, &DeviceConfig::master_gainChanged, [&writes] { ++writes; });
    answerer->expectMessageBox(QMessageBox::Ok);
    rig.find<QPushButton>("b_autocal")->click();
    rig.find<QPushButton>("b_autocal")->click();
    QCOMPARE(writes, 0);
    QCOMPARE(rig.config.master_gain(), uint8_t(0));
}

void TestDebugTab::closingDuringAutoCalibrationKeepsTheGain()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.config.set_master_gain(80);
    answerer->expectMessageBox(QMessageBox::Ok);
    rig.find<QPushButton>("b_autocal")->click();
    QCOMPARE(rig.config.master_gain(), uint8_t(0));
    // The sweep changed the record: the close question comes; discard closes.
    answerer->expectMessageBox(QMessageBox::Discard);
    QVERIFY(rig.window->close());
    QCOMPARE(rig.config.master_gain(), uint8_t(80));
    QVERIFY(!rig.window->autoCalibration()->isSweeping());
}

void TestDebugTab::forceSweepRunsAndCancels()
{
    Rig rig(200);
    QVERIFY(rig.connect());
    rig.comm.setCalibrationTimeScale(0.01);
    rig.showTab(kDebugTab);

    // Refused question: nothing is sent.
    rig.sim.clearReceivedPayloads();
    answerer->expectMessageBox(QMessageBox::Cancel);
    rig.find<QPushButton>("b_force_sweep")->click();
    QTest::qWait(50);
    QCOMPARE(rig.received(wire::MsgCalibration).size(), 0);

    // A full run: every step shown, two fits at the end.
    QList<int> steps;
    auto progress = connect(&rig.comm, &TavikComm::calibrationProgress,
        [&steps](int step, int, const QString &) { steps << step; });
    answerer->expectMessageBox(QMessageBox::Yes);
    rig.find<QPushButton>("b_force_sweep")->click();
    disconnect(progress);
    QCOMPARE(steps.size(), TavikComm::kCalibrationSteps);
    QCOMPARE(steps.last(), TavikComm::kCalibrationSteps);
    CalibrationSweepDialog *dialog = rig.console()->sweepDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->stepText(), QStringLiteral("Done"));
    QCOMPARE(dialog->progressBar()->value(), TavikComm::kCalibrationSteps);
    QVERIFY2(dialog->resultText().contains(QStringLiteral("Y axis fit"))
            && dialog->resultText().contains(QStringLiteral("X axis fit")),
        qPrintable(dialog->resultText()));
    QTRY_COMPARE(rig.received(wire::MsgCalibration).size(), 24);
    dialog->button()->click();
    QVERIFY(!dialog->isVisible());

    // Cancelled at step 5: no further settings.
    rig.sim.clearReceivedPayloads();
    auto cancel = connect(
        &rig.comm, &TavikComm::calibrationProgress, [dialog](int step, int, const QString &) {
            if (step == 5)
                QTimer::singleShot(0, dialog->button(), &QPushButton::click);
        });
    answerer->expectMessageBox(QMessageBox::Yes);
    rig.find<QPushButton>("b_force_sweep")->click();
    disconnect(cancel);
    QVERIFY(!rig.comm.isCalibrating());
    QVERIFY(dialog->stepText().startsWith(QStringLiteral("Cancelled")));
    QTest::qWait(100);
    QCOMPARE(rig.received(wire::MsgCalibration).size(), 5);
    QVERIFY(dialog->resultText().isEmpty());
    dialog->button()->click();
}

void TestDebugTab::burstIsDrawnAtTheScreensPace()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.showTab(kSettingsTab);
    auto *view = rig.find<AxisView>("axisView");
    QLabel *xLabel = rig.panel()->valueLabel(QStringLiteral("x"));
    PaintCounter viewPaints(view->viewport());
    PaintCounter labelPaints(xLabel);
    QTest::qWait(100);
    viewPaints.paints = 0;
    labelPaints.paints = 0;
    const int framesBefore = rig.panel()->pacer()->frameCount();

    constexpr int kMessages = 5000;
    int received = 0;
    connect(&rig.comm, &TavikComm::dataPacketReceived, [&received] { ++received; });
    // As fast as the pseudo-terminal takes them: a few kilobytes at a time (more would only
    // wait in the terminal's buffer).
    constexpr int kChunk = 40;
    for (int i = 1; i <= kMessages; ++i) {
        rig.sim.sendPayload(Telemetry().xy(i % 4000, -(i % 3000)).put(54, quint64(i), 8).bytes);
        if (i % kChunk == 0)
            QVERIFY(QTest::qWaitFor([&received, i] { return received >= i; }, 10000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(received, kMessages, 10000);
    QTest::qWait(100);

    const int frames = rig.panel()->pacer()->frameCount() - framesBefore;
    // However long the burst took, one frame covered many messages.
    QVERIFY2(frames > 0 && frames * 10 < kMessages, qPrintable(QString::number(frames)));
    QVERIFY2(viewPaints.paints <= frames + 2, qPrintable(QString::number(viewPaints.paints)));
    QVERIFY2(labelPaints.paints <= frames + 2, qPrintable(QString::number(labelPaints.paints)));
    // The last values are shown.
    QTRY_COMPARE(
        xLabel->text(), QStringLiteral("%1").arg(kMessages % 4000, 4, 10, QLatin1Char('0')));
    const QPointF expected
        = view->chartPosition((kMessages % 4000) / 4096.0, -(kMessages % 3000) / 4096.0);
    QVERIFY(std::fabs(view->positionDotPos().x() - expected.x()) < 0.5);
    QVERIFY(std::fabs(view->positionDotPos().y() - expected.y()) < 0.5);
    for (int b = 0; b < 64; ++b)
        QCOMPARE(rig.panel()->rawButton(b)->isChecked(), bool((quint64(kMessages) >> b) & 1));
}

void TestDebugTab::hiddenTabIsNotPainted()
{
    Rig rig;
    QVERIFY(rig.connect());
    rig.showTab(kSettingsTab);
    auto *list = rig.find<QListView>("effects_list");
    PaintCounter listPaints(list->viewport());
    PaintCounter textPaints(rig.text()->viewport());
    QTest::qWait(50);
    for (int i = 0; i < 50; ++i) {
        rig.sim.sendPayload(effectReport(1 + i % 5, 8));
        rig.sim.sendPayload(QByteArray("\0hello\n", 7));
    }
    QTRY_COMPARE(rig.effects.rowCount(), 5);
    QTest::qWait(100);
    QCOMPARE(listPaints.paints, 0);
    QCOMPARE(textPaints.paints, 0);

    // Shown: drawn.
    rig.showTab(kDebugTab);
    QTRY_VERIFY(listPaints.paints > 0);
    QTRY_VERIFY(textPaints.paints > 0);
}

QTEST_MAIN(TestDebugTab)
#include "tst_debugtab.moc"
