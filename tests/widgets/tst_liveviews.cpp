// The live views on their own: the frame pacer, the axis view, the hat indicator and the
// effect list delegate, under the offscreen platform.

#include "axisview.h"
#include "datapacket.h"
#include "effectlistdelegate.h"
#include "effectlistmodel.h"
#include "effectlistview.h"
#include "framepacer.h"
#include "hatindicator.h"

#include <QImage>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

namespace {

// A 30-byte effect report.
struct Report
{
    QByteArray bytes = QByteArray(30, '\0');
    Report(int id, int type, int gain, bool enabled, bool override = false)
    {
        bytes[0] = 4;
        bytes[1] = char(id);
        bytes[2] = char(type);
        put(3, gain);
        bytes[5] = char((enabled ? 1 : 0) | (override ? 2 : 0));
    }
    Report &put(int at, int value)
    {
        bytes[at] = char(value & 0xFF);
        bytes[at + 1] = char((value >> 8) & 0xFF);
        return *this;
    }
};

// Counts paint events of a widget.
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

bool finitePoint(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

class TestLiveViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pacerCoalescesRequests();
    void pacerWaitsWhileHidden();
    void pacerWaitsWhileMinimised();

    void headSize_data();
    void headSize();
    void zeroForceDrawsNoHead();
    void positionsOnTheGrid_data();
    void positionsOnTheGrid();
    void centreFollowsTheSpring();
    void pacedAxisViewMovesAtFrames();

    void hatWords_data();
    void hatWords();
    void hatFollowsTheRealSignalType();

    void delegateLayout_data();
    void delegateLayout();
    void delegateSizeHint();
    void viewHasNoSelectionRegion();
};

void TestLiveViews::pacerCoalescesRequests()
{
    QWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    FramePacer pacer(&widget);
    int frames = 0;
    connect(&pacer, &FramePacer::frame, [&frames] { ++frames; });
    for (int i = 0; i < 5000; ++i)
        pacer.request();
    QCOMPARE(frames, 0); // never drawn from inside the request
    QTRY_COMPARE(frames, 1);
    QTest::qWait(3 * FramePacer::kFrameIntervalMs);
    QCOMPARE(frames, 1); // nothing new: no further frames
    QVERIFY(!pacer.isPending());
}

void TestLiveViews::pacerWaitsWhileHidden()
{
    QTabWidget tabs;
    auto *first = new QWidget;
    auto *second = new QWidget;
    tabs.addTab(first, QStringLiteral("one"));
    tabs.addTab(second, QStringLiteral("two"));
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    FramePacer pacer(second);
    int frames = 0;
    connect(&pacer, &FramePacer::frame, [&frames] { ++frames; });

    pacer.request();
    QTest::qWait(5 * FramePacer::kFrameIntervalMs);
    QCOMPARE(frames, 0);
    QVERIFY(pacer.isPending());

    tabs.setCurrentIndex(1);
    QTRY_COMPARE(frames, 1);
}

void TestLiveViews::pacerWaitsWhileMinimised()
{
    QWidget window;
    auto *child = new QWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FramePacer pacer(child);
    int frames = 0;
    connect(&pacer, &FramePacer::frame, [&frames] { ++frames; });

    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(window.windowState() & Qt::WindowMinimized);
    pacer.request();
    QTest::qWait(5 * FramePacer::kFrameIntervalMs);
    QCOMPARE(frames, 0);

    window.setWindowState(Qt::WindowNoState);
    window.show();
    QTRY_COMPARE(frames, 1);
}

void TestLiveViews::headSize_data()
{
    QTest::addColumn<double>("fx");
    QTest::addColumn<double>("fy");
    QTest::addColumn<double>("expected");
    QTest::newRow("zero") << 0.0 << 0.0 << 2.0;
    QTest::newRow("0.05") << 0.05 << 0.0 << 2.4;
    QTest::newRow("one") << 0.0 << -1.0 << 10.0;
    QTest::newRow("beyond") << 3.0 << 4.0 << 10.0;
    QTest::newRow("nan") << std::nan("") << 0.0 << 2.0;
}

void TestLiveViews::headSize()
{
    QFETCH(double, fx);
    QFETCH(double, fy);
    QFETCH(double, expected);
    QVERIFY(std::fabs(AxisView::headSizeFor(fx, fy) - expected) < 1e-9);
}

void TestLiveViews::zeroForceDrawsNoHead()
{
    AxisView view;
    view.resize(120, 120);
    view.setForce(0, 0);
    const Arrow *arrow = view.forceArrow();
    QCOMPARE(arrow->line().length(), 0.0);
    QVERIFY(Arrow::headPolygon(arrow->line(), arrow->headSize()).isEmpty());
    QCOMPARE(arrow->pen().color(), QColor(QStringLiteral("mediumvioletred")));

    // A real force has a head of three finite points ending at the tip.
    view.setForce(0.5, 0.25);
    const QPolygonF head = Arrow::headPolygon(arrow->line(), arrow->headSize());
    QCOMPARE(head.size(), 3);
    QCOMPARE(head.at(0), arrow->line().p2());
    for (const QPointF &p : head)
        QVERIFY(finitePoint(p));

    // Painting either one never hands the painter an undefined value (UBSan watches).
    view.setForce(0, 0);
    QImage image(120, 120, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.render(&painter);
    painter.end();
    view.setForce(std::nan(""), 0);
    QVERIFY(finitePoint(view.forceArrow()->line().p2()));
}

void TestLiveViews::positionsOnTheGrid_data()
{
    QTest::addColumn<int>("rawX");
    QTest::addColumn<int>("rawY");
    QTest::addColumn<QPointF>("expected");
    QTest::newRow("centre") << 0 << 0 << QPointF(60, 60);
    QTest::newRow("right edge") << 4096 << 0 << QPointF(120, 60);
    QTest::newRow("bottom edge") << 0 << 4096 << QPointF(60, 120);
    QTest::newRow("top left") << -4096 << -4096 << QPointF(0, 0);
}

void TestLiveViews::positionsOnTheGrid()
{
    QFETCH(int, rawX);
    QFETCH(int, rawY);
    QFETCH(QPointF, expected);
    AxisView view;
    view.resize(120, 120);
    view.setPosition(rawX * AxisView::kRawScale, rawY * AxisView::kRawScale);
    const QPointF dot = view.positionDotPos();
    QVERIFY2(std::fabs(dot.x() - expected.x()) < 1.0 && std::fabs(dot.y() - expected.y()) < 1.0,
        qPrintable(QStringLiteral("(%1, %2)").arg(dot.x()).arg(dot.y())));
}

void TestLiveViews::centreFollowsTheSpring()
{
    EffectListModel effects;
    AxisView view;
    view.resize(120, 120);
    view.followEffects(&effects);
    QVERIFY(std::fabs(view.centreRingPos().x() - 60) < 1.0);
    Report spring(1, 8, 4096, true);
    spring.put(6, -4096).put(8, 0);
    effects.updateEffect(spring.bytes);
    QVERIFY(std::fabs(view.centreRingPos().x()) < 1.0);
    QVERIFY(std::fabs(view.centreRingPos().y() - 60) < 1.0);
}

void TestLiveViews::pacedAxisViewMovesAtFrames()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new AxisView;
    view->setFixedSize(120, 120);
    layout->addWidget(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FramePacer pacer(&window);
    view->setPacer(&pacer);
    PaintCounter paints(view->viewport());
    QTest::qWait(50);
    paints.paints = 0;

    for (int i = 0; i <= 4096; i += 2)
        view->setPosition(i * AxisView::kRawScale, 0);
    // Not moved until the frame.
    QVERIFY(std::fabs(view->positionDotPos().x() - 60) < 1.0);
    QTRY_VERIFY(std::fabs(view->positionDotPos().x() - 120) < 1.0);
    QTest::qWait(50);
    QVERIFY2(paints.paints <= 3, qPrintable(QString::number(paints.paints)));
    QCOMPARE(pacer.frameCount(), 1);
}

void TestLiveViews::hatWords_data()
{
    QTest::addColumn<uint>("hats");
    QTest::addColumn<QString>("glyphs");
    QTest::addColumn<QString>("pushed");
    const QString n1 = HatIndicator::numberGlyph(0), n2 = HatIndicator::numberGlyph(1);
    const QString n3 = HatIndicator::numberGlyph(2), n4 = HatIndicator::numberGlyph(3);
    auto arrow = [](int d) { return HatIndicator::directionGlyph(d); };
    QTest::newRow("0x8888 centred") << 0x8888u << (n1 + n2 + n3 + n4) << QStringLiteral("----");
    QTest::newRow("0xFFFF centred") << 0xFFFFu << (n1 + n2 + n3 + n4) << QStringLiteral("----");
    QTest::newRow("0x8828 hat 1 right")
        << 0x8828u << (n1 + arrow(2) + n3 + n4) << QStringLiteral("-P--");
    QTest::newRow("0 all up") << 0u << (arrow(0) + arrow(0) + arrow(0) + arrow(0))
                              << QStringLiteral("PPPP");
    // 8..14 name no direction: centred, like 15.
    QTest::newRow("0x9ABE centred") << 0x9ABEu << (n1 + n2 + n3 + n4) << QStringLiteral("----");
    QTest::newRow("0x7531 diagonals")
        << 0x7531u << (arrow(1) + arrow(3) + arrow(5) + arrow(7)) << QStringLiteral("PPPP");
}

void TestLiveViews::hatWords()
{
    QFETCH(uint, hats);
    QFETCH(QString, glyphs);
    QFETCH(QString, pushed);
    DataPacket data;
    QString shown, states;
    QVector<HatIndicator *> indicators;
    for (int h = 0; h < 4; ++h)
        indicators.append(new HatIndicator(h, &data));
    data.set_hats(hats == 0 ? 0xFFFF : 0); // make the next write a change
    data.set_hats(hats);
    for (HatIndicator *indicator : indicators) {
        shown += indicator->text();
        states += indicator->isPushed() ? QLatin1Char('P') : QLatin1Char('-');
        QVERIFY(indicator->styleSheet().contains(indicator->isPushed()
                ? QStringLiteral("color: red")
                : QStringLiteral("rgba(0,0,0,0.5)")));
        // The edge events follow the same rule.
        QCOMPARE(DataPacket::hatDirection(hats, indicator->hat()) >= 0, indicator->isPushed());
    }
    qDeleteAll(indicators);
    QCOMPARE(shown, glyphs);
    QCOMPARE(states, pushed);
}

void TestLiveViews::hatFollowsTheRealSignalType()
{
    DataPacket data;
    HatIndicator indicator(1, &data);
    QCOMPARE(indicator.text(), QString(QChar(0x2777)));
    QCOMPARE(indicator.size(), QSize(40, 40));
    QCOMPARE(indicator.toolTip(), QStringLiteral("Joystick Hat indicator"));
    data.set_hats(0xFF2F);
    QCOMPARE(indicator.text(), QString::fromUcs4(U"\U0001F87A"));
    // The signal carries uint32_t: a connection by name with int finds nothing.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No such signal")));
    QVERIFY(!QObject::connect(&data, SIGNAL(hatsChanged(int)), &indicator, SLOT(update())));
    QVERIFY(QObject::connect(&data, SIGNAL(hatsChanged(uint32_t)), &indicator, SLOT(update())));
}

void TestLiveViews::delegateLayout_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("grey");

    Report spring(3, 8, 2048, true);
    spring.put(6, 100).put(8, -200);
    for (int at = 10; at <= 16; at += 2)
        spring.put(at, 1500);
    for (int at = 18; at <= 24; at += 2)
        spring.put(at, 4096);
    spring.put(26, 10).put(28, 20);
    QTest::newRow("spring, equal coefficients")
        << spring.bytes
        << QStringList {"ID:3 Spring (50%)|X|Y", "Center|100|-200", "Coefficient|1500|1500",
               "Saturation|4096|4096", "Deadband|10|20"}
        << false;

    Report damper(4, 9, 4096, true, true);
    damper.put(10, 100).put(12, 200).put(14, 300).put(16, 400);
    damper.put(18, 1).put(20, 2).put(22, 3).put(24, 4);
    QTest::newRow("damper, override, unequal")
        << damper.bytes
        << QStringList {"ID:4 Damper (100%)|X|Y", "[OVRD]", "Center|0|0", "Coefficient+|100|300",
               "Coefficient-|200|400", "Saturation+|1|2", "Saturation-|3|4", "Deadband|0|0"}
        << false;

    Report disabled(5, 11, -4096, false);
    QTest::newRow("disabled friction") << disabled.bytes
                                       << QStringList {"ID:5 Friction (-100%)|X|Y", "Center|0|0",
                                              "Coefficient|0|0", "Saturation|0|0", "Deadband|0|0"}
                                       << true;

    Report sine(6, 4, 1000, true, true);
    sine.put(6, 0).put(8, 100).put(10, 300).put(12, 255).put(16, 20).put(18, 1000);
    QTest::newRow("sine 20 ms, 0 deg")
        << sine.bytes
        << QStringList {"ID:6 Sine (24%)", "Direction|0°", "Magnitude|300", "Phase|360°",
               "Period(ms)|20ms (50.0Hz)", "Duration(ms)|1000ms"}
        << false;

    Report constant(7, 1, 4096, true);
    constant.put(6, -100).put(8, 0).put(12, 64);
    QTest::newRow("constant, period 0, 90 deg")
        << constant.bytes
        << QStringList {"ID:7 Constant (100%)", "Direction|90°", "Magnitude|0", "Phase|90°",
               "Period(ms)|0ms (0.0Hz)", "Duration(ms)|0ms"}
        << false;

    Report unknown(8, 14, 4096, true);
    QTest::newRow("type 14") << unknown.bytes << QStringList {"ID:8 Invalid (100%)"} << false;
}

void TestLiveViews::delegateLayout()
{
    QFETCH(QByteArray, report);
    QFETCH(QStringList, lines);
    QFETCH(bool, grey);
    EffectListModel model;
    QVERIFY(model.updateEffect(report));
    const QModelIndex index = model.index(0);
    const QFont font;
    const MyDelegate::Layout layout = MyDelegate::layout(index, font, QRect(0, 0, 400, 400));
    QCOMPARE(layout.lines(), lines);
    QCOMPARE(layout.pen, grey ? QColor(QStringLiteral("grey")) : QColor());

    // Columns: labels at 5, X values at C + 10, Y values at C + 60.
    const QFontMetrics metrics(font);
    const int c = 5 + std::max(130, metrics.horizontalAdvance(lines.first().section('|', 0, 0)));
    for (const MyDelegate::Text &t : layout.texts) {
        const qreal x = t.baseline.x();
        QVERIFY2(x == 5 || x == c + 10 || x == c + 60, qPrintable(t.text));
    }
    // Lines one font height apart, the first baseline one height below the top.
    QCOMPARE(int(layout.texts.first().baseline.y()), metrics.height());
    QCOMPARE(layout.separatorY, lines.size() * metrics.height() + metrics.height() / 2);

    // Painting uses the same routine (no crash, grey pen for a disabled effect).
    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 400, 400);
    option.font = font;
    MyDelegate().paint(&painter, option, index);
}

void TestLiveViews::delegateSizeHint()
{
    EffectListModel model;
    model.updateEffect(Report(1, 8, 4096, true).bytes);
    QStyleOptionViewItem option;
    option.font = QFont();
    option.rect = QRect(30, 400, 200, 10);
    const QSize size = MyDelegate().sizeHint(option, model.index(0));
    const QFontMetrics metrics(option.font);
    const int title = metrics.horizontalAdvance(QStringLiteral("ID:1 Spring (100%)"));
    QCOMPARE(size.width(), 5 + std::max(130, title) + 110);
    QCOMPARE(size.height(), 5 * metrics.height() + metrics.height() / 2 + 1);
}

void TestLiveViews::viewHasNoSelectionRegion()
{
    EffectListModel model;
    model.updateEffect(Report(1, 8, 4096, true).bytes);
    MyView view;
    view.setModel(&model);
    view.applyEffectListSettings();
    QCOMPARE(view.selectionMode(), QAbstractItemView::NoSelection);
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.verticalScrollMode(), QAbstractItemView::ScrollPerPixel);
    QCOMPARE(view.resizeMode(), QListView::Adjust);
    QCOMPARE(view.layoutMode(), QListView::SinglePass);
    QCOMPARE(view.movement(), QListView::Free);
    QCOMPARE(view.autoScrollMargin(), 50);
    QVERIFY(!view.showDropIndicator());
    struct Probe : MyView
    {
        QRegion region(const QItemSelection &s) const { return visualRegionForSelection(s); }
    } probe;
    probe.setModel(&model);
    QItemSelection all(model.index(0), model.index(0));
    QVERIFY(probe.region(all).isEmpty());
}

QTEST_MAIN(TestLiveViews)
#include "tst_liveviews.moc"
