// The Scope panel under the offscreen platform, fed through the endpoint's packet handler:
// a burst of messages is drawn a bounded number of times, hidden it draws nothing, the
// paused view scrolls, zooms and exports exactly what it shows.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "paintpacer.h"
#include "scopepanel.h"
#include "scopeplot.h"
#include "scopetesting.h"
#include "scopewindow.h"
#include "scopexyplot.h"
#include "telemetryrecorder.h"
#include "telemetryring.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace scopetesting;

namespace {

int channel(const char *name)
{
    return TelemetryRecorder::channelIndex(QString::fromLatin1(name));
}

// x follows a saw tooth, fxout pushes back against it.
Telemetry sampleAt(int i)
{
    Telemetry t;
    t.stamp = i & 0xFFFF;
    t.x = (i % 2000) - 1000;
    t.fxout = -t.x * 2;
    t.y = i % 7;
    t.fyout = -(i % 7);
    return t;
}

} // namespace

class TestScopePanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void defaults();
    void burstIsPaintedBoundedTimes();
    void hiddenPanelDoesNotPaint();
    void pausedViewScrollsZoomsAndExports();
    void cursorReadsExactValues();
    void forceAgainstPosition();
    void singleSpikeIsDrawn();

private:
    void feed(int from, int count)
    {
        for (int i = from; i < from + count; ++i)
            m_comm->inject(telemetry(sampleAt(i)));
    }
    // Lets the paints of a newly shown or changed window happen: waits until no paint came
    // for a while, then returns the count.
    int settle()
    {
        int last = -1;
        for (int i = 0; i < 40 && m_window->panel()->paintCount() != last; ++i) {
            last = m_window->panel()->paintCount();
            QTest::qWait(5 * ScopePanel::kFrameIntervalMs);
        }
        return m_window->panel()->paintCount();
    }

    std::unique_ptr<DataPacket> m_data;
    std::unique_ptr<DeviceConfig> m_config;
    std::unique_ptr<EffectListModel> m_effects;
    std::unique_ptr<InjectingComm> m_comm;
    std::unique_ptr<TelemetryRecorder> m_recorder;
    std::unique_ptr<ScopeWindow> m_window;
};

void TestScopePanel::init()
{
    m_data = std::make_unique<DataPacket>();
    m_config = std::make_unique<DeviceConfig>();
    m_effects = std::make_unique<EffectListModel>();
    m_comm = std::make_unique<InjectingComm>(m_config.get(), m_data.get(), m_effects.get());
    m_recorder = std::make_unique<TelemetryRecorder>(m_comm.get());
    m_window = std::make_unique<ScopeWindow>(m_recorder.get());
    m_window->resize(900, 500);
}

void TestScopePanel::cleanup()
{
    m_window.reset();
    m_recorder.reset();
    m_comm.reset();
}

void TestScopePanel::defaults()
{
    ScopePanel *panel = m_window->panel();
    QCOMPARE(panel->shownChannels(),
        (QVector<int> {channel("x"), channel("y"), channel("fxout"), channel("fyout")}));
    QCOMPARE(panel->plot()->channels(), panel->shownChannels());
    auto *window = panel->findChild<QComboBox *>(QStringLiteral("cb_window"));
    QVERIFY(window);
    QStringList texts;
    for (int i = 0; i < window->count(); ++i)
        texts << window->itemText(i);
    QCOMPARE(texts, (QStringList {"1 s", "5 s", "10 s", "30 s", "60 s"}));
    QCOMPARE(window->currentText(), QStringLiteral("10 s"));
    QCOMPARE(panel->spanMs(), 10000.0);
    // Physical units where the live grid has them.
    QCOMPARE(TelemetryRecorder::label(channel("curr_x")), QStringLiteral("curr_x (A)"));
    QCOMPARE(TelemetryRecorder::label(channel("temp_y")), QString::fromUtf8("temp_y (°C)"));
    QCOMPARE(TelemetryRecorder::formatValue(channel("Vbus"), 2399), QStringLiteral("23.99"));
    QCOMPARE(TelemetryRecorder::formatValue(channel("pot_1"), 4095), QStringLiteral("100.0"));
    QCOMPARE(TelemetryRecorder::formatValue(channel("x"), -4096), QStringLiteral("-4096"));
}

void TestScopePanel::burstIsPaintedBoundedTimes()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    ScopePanel *panel = m_window->panel();
    const int before = settle();
    QVERIFY(before >= 1);
    const int framesBefore = panel->pacer()->frameCount();

    feed(0, 5000);
    // Nothing is drawn while the messages are handled; one frame follows the burst.
    QCOMPARE(panel->paintCount(), before);
    QVERIFY(panel->pacer()->isPending());
    QTRY_VERIFY(panel->paintCount() > before);
    QTest::qWait(5 * ScopePanel::kFrameIntervalMs);
    QCOMPARE(panel->pacer()->frameCount(), framesBefore + 1);
    QVERIFY2(panel->paintCount() - before <= 2, qPrintable(QString::number(panel->paintCount())));

    // Every message is a sample; the last one is the newest.
    const TelemetryRing &ring = m_recorder->ring();
    QCOMPARE(ring.size(), 5000);
    QCOMPARE(ring.lastTime(), qint64(4999));
    QCOMPARE(ring.valueAt(channel("x"), ring.size() - 1), sampleAt(4999).x);
    QCOMPARE(ring.valueAt(channel("fxout"), ring.size() - 1), sampleAt(4999).fxout);
    // The live view ends at the newest sample.
    QCOMPARE(panel->viewEnd(), 5000.0);
    QCOMPARE(panel->plot()->endTime(), 5000.0);
    QCOMPARE(panel->plot()->startTime(), -5000.0);
}

void TestScopePanel::hiddenPanelDoesNotPaint()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    ScopePanel *panel = m_window->panel();
    settle();
    m_window->hide();
    const int before = panel->paintCount();
    const int framesBefore = panel->pacer()->frameCount();

    feed(0, 5000);
    QVERIFY(!panel->pacer()->isPending());
    QTest::qWait(5 * ScopePanel::kFrameIntervalMs);
    QCOMPARE(panel->paintCount(), before);
    QCOMPARE(panel->pacer()->frameCount(), framesBefore);
    // Recording goes on regardless.
    QCOMPARE(m_recorder->ring().size(), 5000);
    QCOMPARE(m_recorder->ring().valueAt(channel("x"), 4999), sampleAt(4999).x);

    // Shown again, it draws what arrived meanwhile.
    m_window->show();
    QTRY_VERIFY(panel->paintCount() > before);
    QCOMPARE(panel->plot()->endTime(), 5000.0);
}

void TestScopePanel::pausedViewScrollsZoomsAndExports()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    ScopePanel *panel = m_window->panel();
    feed(0, 10000);
    auto *pause = panel->findChild<QPushButton *>(QStringLiteral("b_pause"));
    QVERIFY(pause);
    pause->click();
    QVERIFY(panel->isPaused());
    QCOMPARE(pause->text(), QStringLiteral("Resume"));
    QCOMPARE(panel->viewEnd(), 10000.0);
    QCOMPARE(panel->viewStart(), 0.0);

    // New samples neither move nor redraw the paused view.
    const int before = settle();
    feed(10000, 2000);
    QVERIFY(!panel->pacer()->isPending());
    QTest::qWait(3 * ScopePanel::kFrameIntervalMs);
    QCOMPARE(panel->paintCount(), before);
    QCOMPARE(panel->viewRing().lastTime(), qint64(9999));
    QCOMPARE(m_recorder->ring().lastTime(), qint64(11999));

    // Scroll and zoom within the frozen recording; never past its ends.
    panel->setWindowMs(1000);
    QCOMPARE(panel->viewEnd(), 10000.0);
    panel->scrollBy(-2000);
    QCOMPARE(panel->viewEnd(), 8000.0);
    panel->zoomBy(0.5, 7500);
    QCOMPARE(panel->spanMs(), 500.0);
    QCOMPARE(panel->viewStart(), 7250.0);
    QCOMPARE(panel->viewEnd(), 7750.0);
    QCOMPARE(panel->plot()->startTime(), 7250.0);
    panel->scrollBy(1e6);
    QCOMPARE(panel->viewEnd(), 10000.0);
    panel->scrollBy(-1e6);
    QCOMPARE(panel->viewStart(), 0.0);
    panel->zoomBy(1000, 0);
    QCOMPARE(panel->spanMs(), ScopePanel::kMaxSpanMs);
    QCOMPARE(panel->viewEnd(), 10000.0);
    panel->setWindowMs(1000);
    panel->scrollBy(7750 - panel->viewEnd());
    QCOMPARE(panel->viewEnd(), 7750.0);

    // The CSV holds exactly the shown samples, one row each.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString csv = dir.filePath(QStringLiteral("shown.csv"));
    QString error;
    QVERIFY2(panel->exportCsv(csv, &error), qPrintable(error));
    QFile in(csv);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 1000 + 1); // header, rows, nothing after the last CR LF
    QCOMPARE(lines.first(), QByteArray("time_ms,x,y,fxout,fyout\r"));
    const Telemetry first = sampleAt(6750);
    QCOMPARE(lines.at(1),
        QByteArray::number(6750) + ',' + QByteArray::number(first.x) + ','
            + QByteArray::number(first.y) + ',' + QByteArray::number(first.fxout) + ','
            + QByteArray::number(first.fyout) + '\r');
    QVERIFY(lines.at(1000).startsWith("7749,"));
    QVERIFY(lines.last().isEmpty());

    // The PNG is the plot.
    const QString png = dir.filePath(QStringLiteral("shown.png"));
    QVERIFY2(panel->exportPng(png, &error), qPrintable(error));
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), panel->plot()->size() * panel->plot()->devicePixelRatioF());

    // Resuming follows the live recording again.
    pause->click();
    QVERIFY(!panel->isPaused());
    QCOMPARE(panel->viewEnd(), 12000.0);
}

void TestScopePanel::cursorReadsExactValues()
{
    ScopePanel *panel = m_window->panel();
    feed(0, 3000);
    panel->setShownChannels({channel("x"), channel("fxout"), channel("Vbus")});
    const QString text = panel->setCursorTime(1234.4);
    const Telemetry t = sampleAt(1234);
    QCOMPARE(text,
        QStringLiteral("t = 1234 ms   x = %1   fxout = %2   Vbus = 0.00 V").arg(t.x).arg(t.fxout));
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("label_cursor"))->text(), text);
    // The nearest sample answers for a time between samples or past the newest.
    QVERIFY(panel->setCursorTime(99999).startsWith(QStringLiteral("t = 2999 ms")));
}

void TestScopePanel::forceAgainstPosition()
{
    ScopePanel *panel = m_window->panel();
    QCOMPARE(ScopeXYPlot::positionChannel(ScopeXYPlot::AxisX), channel("x"));
    QCOMPARE(ScopeXYPlot::forceChannel(ScopeXYPlot::AxisX), channel("fxout"));
    QCOMPARE(ScopeXYPlot::positionChannel(ScopeXYPlot::AxisY), channel("y"));
    QCOMPARE(ScopeXYPlot::forceChannel(ScopeXYPlot::AxisY), channel("fyout"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *tabs = panel->findChild<QTabWidget *>(QStringLiteral("tabs_scope"));
    QVERIFY(tabs);
    const int xyBefore = panel->xyPlot()->paintCount();
    tabs->setCurrentIndex(1);
    feed(0, 2000);
    QTRY_VERIFY(panel->xyPlot()->paintCount() > xyBefore);
    const int plotsBefore = panel->plot()->paintCount();
    feed(2000, 100);
    QTRY_VERIFY(panel->xyPlot()->paintCount() > xyBefore + 1);
    // The time plot is on the hidden tab and is not drawn.
    QCOMPARE(panel->plot()->paintCount(), plotsBefore);
}

void TestScopePanel::singleSpikeIsDrawn()
{
    ScopePanel *panel = m_window->panel();
    panel->setShownChannels({channel("x")});
    for (int i = 0; i < 10000; ++i) {
        Telemetry t;
        t.stamp = i;
        t.x = i == 4321 ? 4000 : 0;
        m_comm->inject(telemetry(t));
    }
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    settle();
    ScopePlot *plot = panel->plot();
    QCOMPARE(plot->startTime(), 0.0);
    QCOMPARE(plot->endTime(), 10000.0);
    const QRect area = plot->plotRect();
    QVERIFY(area.width() < 10000 / 2); // so the plot reduces
    const QImage image = plot->grab().toImage();
    QCOMPARE(image.size(), plot->size());
    const QRgb trace = ScopePlot::channelColor(channel("x")).rgb();
    // Pixels of the trace in the upper quarter of the lane, by column.
    auto highPixels = [&](int column) {
        int n = 0;
        for (int y = area.top() + 1; y < area.top() + area.height() / 4; ++y)
            n += (image.pixel(area.left() + column, y) & 0xFFFFFF) == (trace & 0xFFFFFF);
        return n;
    };
    const int spikeColumn = int(4321LL * area.width() / 10000);
    QVERIFY(highPixels(spikeColumn) > 0);
    // Right of the lane's legend; the next column may join the spike's last value.
    QVERIFY(spikeColumn > area.width() / 3);
    for (int c = area.width() / 3; c < area.width(); ++c) {
        if (c != spikeColumn && c != spikeColumn + 1)
            QVERIFY2(highPixels(c) == 0, qPrintable(QString::number(c)));
    }
}

QTEST_MAIN(TestScopePanel)
#include "tst_scopepanel.moc"
