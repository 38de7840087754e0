#pragma once

#include "configtypes.h"

#include <QChartView>
#include <QLineSeries>
#include <QList>
#include <QPointF>

#include <cstdint>

// Shows a gain curve through the origin on a -1..1 x -1..1 chart and lets the user edit it with
// the mouse: drag a point, double-click to add one, right-click to remove one. The curve is two
// series, the positive side (x >= 0) and the negative side (x <= 0), each ordered from the origin
// outward. User edits publish the whole curve, as points and as a DeviceMappingData record.
class MappingChart : public QtCharts::QChartView
{
    Q_OBJECT
    Q_PROPERTY(bool symmetric READ symmetric WRITE setSymmetric)
    Q_PROPERTY(float currentValue READ currentValue WRITE setCurrentValue)

public:
    // A record holds at most ten points; insertions that would need more are refused.
    static constexpr int kMaxPoints = DeviceMappingData::kMaxPoints;

    explicit MappingChart(QWidget *parent = nullptr);

    // Shows a stored curve. Publishes nothing: a shown curve is not an edit.
    void setMapping(const DeviceMappingData &data);
    // Restores the identity curve and publishes it.
    void resetMapping();
    void setAxisTitles(const QString &xTitle, const QString &yTitle);

    bool symmetric() const { return m_symmetric; }
    float currentValue() const { return m_currentValue; }

    QList<QPointF> positivePoints() const { return m_positive->points(); }
    QList<QPointF> negativePoints() const { return m_negative->points(); }
    // The whole curve in increasing x, holding the origin once.
    QList<QPointF> points() const;
    // The record the current curve publishes.
    DeviceMappingData mapping() const { return toDeviceMapping(points()); }
    // Where a chart value lies in viewport pixels.
    QPoint viewportPosition(const QPointF &value) const;
    QPointF valueAt(const QPoint &viewportPos) const;

    // Conversions between chart values (-1..1) and curve bytes (-127..127). Values are limited
    // to -1..1 first, so nothing wraps around as an 8-bit number.
    static int8_t toCurveValue(double value);
    static float fromCurveValue(int8_t value);
    // At most ten points reach the record; a curve of eleven (ten stored points without an
    // explicit origin, plus the origin the chart always shows) drops the origin again.
    static DeviceMappingData toDeviceMapping(const QList<QPointF> &points);
    // Splits a record into the negative and positive sides, each starting at the origin and
    // ordered outward. Reads at most ten entries whatever the count says.
    static void fromDeviceMapping(
        const DeviceMappingData &data, QList<QPointF> *negative, QList<QPointF> *positive);

public Q_SLOTS:
    void setSymmetric(bool en);
    void setCurrentValue(float val);

Q_SIGNALS:
    void mappingChanged(QList<QPointF> points);
    void mappingChanged(DeviceMappingData points);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    static QList<QPointF> defaultPositive();
    static QList<QPointF> defaultNegative();
    static int combinedCount(int negativeCount, int positiveCount);
    int hitIndex(const QtCharts::QLineSeries *series, const QPointF &value) const;
    void dragTo(const QPointF &value);
    void insertPoint(const QPointF &value);
    // Publishes after a user edit of `edited` (null: nothing is mirrored).
    void publish(QtCharts::QLineSeries *edited);

    QtCharts::QChart *m_chart;
    QtCharts::QLineSeries *m_positive;
    QtCharts::QLineSeries *m_negative;
    QtCharts::QLineSeries *m_marker;
    int m_dragIndex = 0;
    bool m_dragging = false;
    bool m_symmetric = true;
    float m_currentValue = 0.0f;
};
