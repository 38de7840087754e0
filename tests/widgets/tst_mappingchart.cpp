#include "configuratorresources.h"
#include "deviceconfig.h"
#include "mappingchart.h"
#include "mappingdialog.h"
#include "widgettesting.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

using namespace widgettest;
using Points = QList<QPointF>;

Q_DECLARE_METATYPE(Points)

namespace {
DeviceMappingData record(
    std::initializer_list<int> xs, std::initializer_list<int> ys, int count = -1)
{
    DeviceMappingData d;
    std::fill(std::begin(d.x), std::end(d.x), int8_t(0));
    std::fill(std::begin(d.y), std::end(d.y), int8_t(0));
    int i = 0;
    for (int v : xs)
        d.x[i++] = int8_t(v);
    i = 0;
    for (int v : ys)
        d.y[i++] = int8_t(v);
    d.count = uint8_t(count >= 0 ? count : int(xs.size()));
    return d;
}

QString describe(const DeviceMappingData &d)
{
    QString s = QStringLiteral("count %1:").arg(d.count);
    for (int i = 0; i < 10; ++i)
        s += QStringLiteral(" (%1,%2)").arg(d.x[i]).arg(d.y[i]);
    return s;
}

bool sameRecord(const DeviceMappingData &a, const DeviceMappingData &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool near(const QPointF &a, const QPointF &b, double tolerance = 0.02)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}
} // namespace

class TestMappingChart : public QObject
{
    Q_OBJECT

private:
    // A shown chart with room for pixel-accurate edits.
    struct ShownChart
    {
        QWidget window;
        MappingChart *chart;
        ShownChart()
            : chart(new MappingChart(&window))
        {
            chart->setGeometry(0, 0, 600, 600);
            window.resize(600, 600);
        }
        bool show() { return showActive(&window); }
        QWidget *target() const { return chart->viewport(); }
        QPoint at(const QPointF &value) const { return chart->viewportPosition(value); }
        void dragFromTo(const QPointF &from, const QPointF &to)
        {
            drag(target(), at(from), at(to));
        }
        void doubleClick(const QPoint &pos)
        {
            sendMouse(target(), QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
            sendMouse(target(), QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
            sendMouse(target(), QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
            sendMouse(target(), QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
        }
        void rightClick(const QPointF &value)
        {
            sendMouse(
                target(), QEvent::MouseButtonPress, at(value), Qt::RightButton, Qt::RightButton);
            sendMouse(
                target(), QEvent::MouseButtonRelease, at(value), Qt::RightButton, Qt::NoButton);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        initConfiguratorResources();
        registerConfigMetaTypes();
        qRegisterMetaType<DeviceMappingData>();
        qRegisterMetaType<Points>();
    }

    void defaults()
    {
        MappingChart chart;
        QVERIFY(chart.symmetric());
        QCOMPARE(chart.positivePoints(), (Points {{0, 0}, {0.5, 0.5}, {1, 1}}));
        QCOMPARE(chart.negativePoints(), (Points {{0, 0}, {-0.5, -0.5}, {-1, -1}}));
        QVERIFY(sameRecord(chart.mapping(), DeviceMappingData()));
        QCOMPARE(
            chart.chart()->axes(Qt::Horizontal).first()->titleText(), QStringLiteral("Force In"));
        QCOMPARE(
            chart.chart()->axes(Qt::Vertical).first()->titleText(), QStringLiteral("Force Out"));
        chart.setAxisTitles(QStringLiteral("Position"), QStringLiteral("Force"));
        QCOMPARE(
            chart.chart()->axes(Qt::Horizontal).first()->titleText(), QStringLiteral("Position"));
        QCOMPARE(chart.chart()->axes(Qt::Vertical).first()->titleText(), QStringLiteral("Force"));
    }

    // Chart points to the stored record.
    void toRecord_data()
    {
        QTest::addColumn<Points>("points");
        QTest::addColumn<DeviceMappingData>("expected");
        QTest::newRow("identity") << Points {{-1, -1}, {-0.5, -0.5}, {0, 0}, {0.5, 0.5}, {1, 1}}
                                  << record({-127, -64, 0, 64, 127}, {-127, -64, 0, 64, 127});
        QTest::newRow("halves away from zero")
            << Points {{-0.25, 0.75}, {0, 0}, {0.25, -0.75}} << record({-32, 0, 32}, {95, 0, -95});
        QTest::newRow("outside the frame is limited, never wrapped")
            << Points {{-1.5, -3}, {0, 0}, {1.2, 1.01}} << record({-127, 0, 127}, {-127, 0, 127});
        QTest::newRow("empty") << Points {} << record({}, {});
        Points eleven;
        DeviceMappingData ten = record({-127, -100, -75, -50, -25, 25, 50, 75, 100, 127},
            {-127, -100, -75, -50, -25, 25, 50, 75, 100, 127});
        for (int i = 0; i < 10; ++i) {
            eleven.append({ten.x[i] / 127.0, ten.y[i] / 127.0});
            if (i == 4)
                eleven.append({0, 0});
        }
        QTest::newRow("eleven drops the implied origin") << eleven << ten;
    }

    void toRecord()
    {
        QFETCH(Points, points);
        QFETCH(DeviceMappingData, expected);
        const DeviceMappingData actual = MappingChart::toDeviceMapping(points);
        QVERIFY2(sameRecord(actual, expected), qPrintable(describe(actual)));
    }

    // The stored record to the two sides of the chart.
    void fromRecord_data()
    {
        QTest::addColumn<DeviceMappingData>("data");
        QTest::addColumn<Points>("negative");
        QTest::addColumn<Points>("positive");
        QTest::newRow("identity") << DeviceMappingData()
                                  << Points {{0, 0}, {-64 / 127.0, -64 / 127.0}, {-1, -1}}
                                  << Points {{0, 0}, {64 / 127.0, 64 / 127.0}, {1, 1}};
        QTest::newRow("x = 0 entry dropped")
            << record({-127, 0, 127}, {-127, 50, 127}) << Points {{0, 0}, {-1, -1}}
            << Points {{0, 0}, {1, 1}};
        QTest::newRow("-128 is limited to -1")
            << record({-128, 127}, {-128, 127}) << Points {{0, 0}, {-1, -1}}
            << Points {{0, 0}, {1, 1}};
        QTest::newRow("count above ten reads ten entries")
            << record({-127, 10, 20, 30, 40, 50, 60, 70, 80, 127},
                   {-127, 1, 2, 3, 4, 5, 6, 7, 8, 127}, 200)
            << Points {{0, 0}, {-1, -1}}
            << Points {{0, 0}, {10 / 127.0, 1 / 127.0}, {20 / 127.0, 2 / 127.0},
                   {30 / 127.0, 3 / 127.0}, {40 / 127.0, 4 / 127.0}, {50 / 127.0, 5 / 127.0},
                   {60 / 127.0, 6 / 127.0}, {70 / 127.0, 7 / 127.0}, {80 / 127.0, 8 / 127.0},
                   {1, 1}};
        QTest::newRow("unordered entries are ordered outward")
            << record({127, -127, 64, -64}, {127, -127, 64, -64})
            << Points {{0, 0}, {-64 / 127.0, -64 / 127.0}, {-1, -1}}
            << Points {{0, 0}, {64 / 127.0, 64 / 127.0}, {1, 1}};
    }

    void fromRecord()
    {
        QFETCH(DeviceMappingData, data);
        QFETCH(Points, negative);
        QFETCH(Points, positive);
        Points neg, pos;
        MappingChart::fromDeviceMapping(data, &neg, &pos);
        QCOMPARE(neg.size(), negative.size());
        QCOMPARE(pos.size(), positive.size());
        for (int i = 0; i < neg.size(); ++i)
            QVERIFY2(near(neg[i], negative[i], 1e-6), qPrintable(QString::number(i)));
        for (int i = 0; i < pos.size(); ++i)
            QVERIFY2(near(pos[i], positive[i], 1e-6), qPrintable(QString::number(i)));

        // The chart shows it and publishes nothing.
        MappingChart chart;
        QSignalSpy published(&chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        chart.setMapping(data);
        QCOMPARE(chart.positivePoints().size(), positive.size());
        QCOMPARE(chart.negativePoints().size(), negative.size());
        QCOMPARE(published.count(), 0);
    }

    // A curve from the record is shown, not written back, even one the chart cannot hold as it
    // is (count above ten, -128, a point at x = 0).
    void receivedCurveIsNotWrittenBack()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        DeviceConfig config;
        MappingChart chart;
        QObject::connect(&chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged),
            &config, &DeviceConfig::set_spring_mapping);
        QObject::connect(
            &config, &DeviceConfig::spring_mappingChanged, &chart, &MappingChart::setMapping);
        const DeviceMappingData odd = record({-128, -90, 0, 20, 40, 60, 80, 100, 110, 127},
            {-128, -90, 33, 20, 40, 60, 80, 100, 110, 127}, 12);
        QSignalSpy changed(&config, &DeviceConfig::spring_mappingChanged);
        config.set_spring_mapping(odd);
        config.setParametersModified(false);
        // The record keeps the points as they came (it may normalise its own count).
        const DeviceMappingData held = config.spring_mapping();
        QVERIFY(held == odd);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);
        QVERIFY(sameRecord(config.spring_mapping(), held));
        QCOMPARE(chart.points().size(), 10);
        QCOMPARE(chart.points().first(), QPointF(-1, -1));
        QVERIFY(!config.parametersModified());
        QLoggingCategory::setFilterRules(QString());
    }

    void emptyRecordKeepsTheCurve()
    {
        MappingChart chart;
        chart.setMapping(record({-127, -20, 127}, {-127, -90, 127}));
        const Points shown = chart.points();
        chart.setMapping(record({}, {}, 0));
        QCOMPARE(chart.points(), shown);
    }

    void everyCurveValueRoundTrips()
    {
        for (int v = -128; v <= 127; ++v) {
            const int8_t expected = int8_t(v == -128 ? -127 : v);
            const int8_t back = MappingChart::toCurveValue(MappingChart::fromCurveValue(int8_t(v)));
            if (back != expected)
                QFAIL(qPrintable(QStringLiteral("%1 came back as %2").arg(v).arg(back)));
        }
    }

    // Every x and y byte shown in a chart comes back unchanged in the record the chart would
    // publish, with the origin the chart shows in its ordered place.
    void everyRecordValueRoundTripsThroughTheChart()
    {
        // One load per pair; keep the loads' debug lines out of the test log.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        MappingChart chart;
        for (int x = -126; x <= 126; ++x) {
            if (x == 0)
                continue;
            for (int y = -127; y <= 127; ++y) {
                const DeviceMappingData stored = record({-127, x, 127}, {-127, y, 127});
                chart.setMapping(stored);
                const DeviceMappingData expected = x < 0
                    ? record({-127, x, 0, 127}, {-127, y, 0, 127})
                    : record({-127, 0, x, 127}, {-127, 0, y, 127});
                const DeviceMappingData back = chart.mapping();
                if (!sameRecord(back, expected))
                    QFAIL(qPrintable(
                        QStringLiteral("x %1 y %2 gave %3").arg(x).arg(y).arg(describe(back))));
            }
        }
        QLoggingCategory::setFilterRules(QString());
    }

    void resetRestoresIdentity()
    {
        MappingChart chart;
        chart.setMapping(record({-127, -10, 30, 127}, {-50, -90, 20, 127}));
        QSignalSpy points(&chart, qOverload<Points>(&MappingChart::mappingChanged));
        QSignalSpy records(&chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        chart.resetMapping();
        QCOMPARE(points.count(), 1);
        QCOMPARE(records.count(), 1);
        QCOMPARE(points.at(0).at(0).value<Points>(),
            (Points {{-1, -1}, {-0.5, -0.5}, {0, 0}, {0.5, 0.5}, {1, 1}}));
        const auto published = records.at(0).at(0).value<DeviceMappingData>();
        QVERIFY2(sameRecord(published, record({-127, -64, 0, 64, 127}, {-127, -64, 0, 64, 127})),
            qPrintable(describe(published)));
    }

    void marker()
    {
        MappingChart chart;
        chart.setCurrentValue(1.7f);
        QCOMPARE(chart.currentValue(), 1.0f);
        chart.setCurrentValue(-0.25f);
        QCOMPARE(chart.property("currentValue").toFloat(), -0.25f);
        chart.setCurrentValue(std::numeric_limits<float>::quiet_NaN());
        QCOMPARE(chart.currentValue(), 0.0f);
    }

    void dragMirrorsWhenSymmetric()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        QSignalSpy points(shown.chart, qOverload<Points>(&MappingChart::mappingChanged));
        QSignalSpy records(
            shown.chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        shown.dragFromTo({0.5, 0.5}, {0.6, 0.3});
        QVERIFY(points.count() >= 1);
        QCOMPARE(records.count(), points.count());
        const Points pos = shown.chart->positivePoints();
        const Points neg = shown.chart->negativePoints();
        QVERIFY2(near(pos[1], {0.6, 0.3}),
            qPrintable(QStringLiteral("%1 %2").arg(pos[1].x()).arg(pos[1].y())));
        QVERIFY(near(neg[1], {-0.6, -0.3}));
        QVERIFY(near(neg[1], -pos[1], 1e-6));
        const auto last = records.last().at(0).value<DeviceMappingData>();
        QCOMPARE(last.count, uint8_t(5));
        QCOMPARE(last.x[3], MappingChart::toCurveValue(pos[1].x()));
        QCOMPARE(last.y[1], MappingChart::toCurveValue(neg[1].y()));
    }

    void dragWithoutSymmetryLeavesTheOtherSide()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        shown.chart->setSymmetric(false);
        shown.dragFromTo({-0.5, -0.5}, {-0.4, -0.8});
        QVERIFY(near(shown.chart->negativePoints()[1], {-0.4, -0.8}));
        QCOMPARE(shown.chart->positivePoints()[1], QPointF(0.5, 0.5));
    }

    void dragIsLimited()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        shown.chart->setSymmetric(false);
        MappingChart *chart = shown.chart;
        // An inner point stops at its neighbour's x and at the top of the frame.
        shown.dragFromTo({0.5, 0.5}, {1.3, 1.4});
        QCOMPARE(chart->positivePoints()[1], QPointF(1.0, 1.0));
        shown.dragFromTo({1.0, 1.0}, {0.5, 0.5});
        // (1, 1) is hit by the inner point first, so the end point stayed where it was.
        QCOMPARE(chart->positivePoints().last(), QPointF(1.0, 1.0));
        QVERIFY(near(chart->positivePoints()[1], {0.5, 0.5}));
        // The negative side never crosses into positive output.
        shown.dragFromTo({-0.5, -0.5}, {-0.6, 0.4});
        QCOMPARE(chart->negativePoints()[1].y(), 0.0);
        QVERIFY(near(chart->negativePoints()[1], {-0.6, 0.0}));
        const DeviceMappingData data = chart->mapping();
        for (int i = 0; i < data.count; ++i) {
            QVERIFY(data.x[i] >= -127 && data.x[i] <= 127);
            QVERIFY(data.y[i] >= -127 && data.y[i] <= 127);
        }
    }

    void endPointStaysOnTheFrame()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        shown.chart->setSymmetric(false);
        MappingChart *chart = shown.chart;
        // From the corner downward: along the right edge only.
        shown.dragFromTo({1.0, 1.0}, {1.0, 0.6});
        QVERIFY(near(chart->positivePoints().last(), {1.0, 0.6}));
        QCOMPARE(chart->positivePoints().last().x(), 1.0);
        shown.dragFromTo({1.0, 0.6}, {0.7, 0.2});
        QCOMPARE(chart->positivePoints().last().x(), 1.0);
        QVERIFY(near(chart->positivePoints().last(), {1.0, 0.2}));
        // Up to the corner, then left along the top edge.
        shown.dragFromTo({1.0, 0.2}, {1.0, 1.3});
        QCOMPARE(chart->positivePoints().last(), QPointF(1.0, 1.0));
        shown.dragFromTo({1.0, 1.0}, {0.8, 1.0});
        QCOMPARE(chart->positivePoints().last().y(), 1.0);
        QVERIFY(near(chart->positivePoints().last(), {0.8, 1.0}));
        // Not past its neighbour: stops 0.01 right of it.
        shown.dragFromTo({0.8, 1.0}, {0.1, 1.0});
        QCOMPARE(chart->positivePoints().last(), QPointF(0.51, 1.0));
    }

    void rightClickRemovesInnerPoints()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        MappingChart *chart = shown.chart;
        QSignalSpy records(chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        shown.rightClick({1.0, 1.0});
        QCOMPARE(records.count(), 0);
        QCOMPARE(chart->positivePoints().size(), 3);
        shown.rightClick({0.5, 0.5});
        QCOMPARE(records.count(), 1);
        QCOMPARE(chart->positivePoints(), (Points {{0, 0}, {1, 1}}));
        QCOMPARE(chart->negativePoints(), (Points {{0, 0}, {-1, -1}}));
        const auto data = records.last().at(0).value<DeviceMappingData>();
        QVERIFY2(
            sameRecord(data, record({-127, 0, 127}, {-127, 0, 127})), qPrintable(describe(data)));
        // The origin republishes.
        shown.rightClick({0.0, 0.0});
        QCOMPARE(records.count(), 2);
    }

    void doubleClickInserts()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        MappingChart *chart = shown.chart;
        QSignalSpy records(chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        shown.doubleClick(shown.at({0.25, 0.6}));
        QCOMPARE(records.count(), 1);
        QCOMPARE(chart->positivePoints().size(), 4);
        QVERIFY(near(chart->positivePoints()[1], {0.25, 0.6}));
        QVERIFY(near(chart->negativePoints()[1], {-0.25, -0.6}));
        QCOMPARE(records.last().at(0).value<DeviceMappingData>().count, uint8_t(7));

        // Above the frame: limited to 1, not wrapped into a negative byte.
        shown.doubleClick(shown.at({0.75, 1.0}) - QPoint(0, 25));
        QCOMPARE(records.count(), 2);
        const auto data = records.last().at(0).value<DeviceMappingData>();
        QCOMPARE(data.count, uint8_t(9));
        QCOMPARE(data.y[7], int8_t(127));
        QCOMPARE(data.y[1], int8_t(-127));

        // A tenth and eleventh point would not fit the record: refused.
        shown.doubleClick(shown.at({0.9, 0.95}));
        QCOMPARE(records.count(), 2);
        QCOMPARE(chart->points().size(), 9);
    }

    void insertionLimitWithoutSymmetry()
    {
        ShownChart shown;
        QVERIFY(shown.show());
        MappingChart *chart = shown.chart;
        chart->setSymmetric(false);
        QSignalSpy records(chart, qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        for (int i = 1; i <= 6; ++i)
            shown.doubleClick(shown.at({0.5 + i * 0.07, 0.5 + i * 0.07}));
        QCOMPARE(records.count(), 5);
        QCOMPARE(chart->points().size(), 10);
        QCOMPARE(records.last().at(0).value<DeviceMappingData>().count, uint8_t(10));
        QCOMPARE(records.last().at(0).value<DeviceMappingData>().x[9], int8_t(127));
        // Beyond the end point's x nothing is inserted.
        shown.dragFromTo({1.0, 1.0}, {1.0, 0.9});
        chart->setMapping(record({-127, 40, 90}, {-127, 40, 127}));
        const int before = records.count();
        shown.doubleClick(shown.at({0.85, 0.5}));
        QCOMPARE(records.count(), before);
    }

    void dialog()
    {
        MappingDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(dialog.size(), QSize(677, 557));
        QVERIFY(dialog.chartX() && dialog.chartY());
        QCOMPARE(dialog.chartX()->objectName(), QStringLiteral("mapping_chart"));
        QCOMPARE(dialog.chartY()->objectName(), QStringLiteral("mapping_chart_y"));
        QCOMPARE(dialog.separateAxisBox()->objectName(), QStringLiteral("check_sep_axis"));
        QVERIFY(!dialog.separateAxisBox()->isChecked());
        QVERIFY(dialog.symmetricBox()->isChecked());

        dialog.symmetricBox()->setChecked(false);
        QVERIFY(!dialog.chartX()->symmetric());
        QVERIFY(!dialog.chartY()->symmetric());
        dialog.symmetricBox()->setChecked(true);
        QVERIFY(dialog.chartX()->symmetric() && dialog.chartY()->symmetric());

        dialog.chartX()->setMapping(record({-127, -30, 127}, {-127, -100, 127}));
        dialog.chartY()->setMapping(record({-127, 30, 127}, {-127, 100, 127}));
        QSignalSpy xRecords(
            dialog.chartX(), qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        QSignalSpy yRecords(
            dialog.chartY(), qOverload<DeviceMappingData>(&MappingChart::mappingChanged));
        QSignalSpy apply(&dialog, &MappingDialog::onApply);
        auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        dialog.show();
        QTest::mouseClick(box->button(QDialogButtonBox::Reset), Qt::LeftButton);
        QCOMPARE(xRecords.count(), 1);
        QCOMPARE(yRecords.count(), 1);
        QVERIFY(sameRecord(
            dialog.chartX()->mapping(), record({-127, -64, 0, 64, 127}, {-127, -64, 0, 64, 127})));
        QVERIFY(sameRecord(dialog.chartY()->mapping(), dialog.chartX()->mapping()));
        QCOMPARE(apply.count(), 0);
        QTest::mouseClick(box->button(QDialogButtonBox::Apply), Qt::LeftButton);
        QCOMPARE(apply.count(), 1);
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(box->button(QDialogButtonBox::Close), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestMappingChart)
#include "tst_mappingchart.moc"
