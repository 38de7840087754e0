#pragma once
// The small square stick indicator: the stick position as a dot, the centre of the active
// spring as a ring and the output force as an arrow from the middle, on a grid spanning
// -1..+1 on both axes. A positive y is drawn below the centre.

#include <QBrush>
#include <QChartView>
#include <QGraphicsItem>
#include <QLineF>
#include <QPen>
#include <QPointF>
#include <QPolygonF>

class EffectListModel;
class FramePacer;

class CircleItem : public QGraphicsItem
{
public:
    CircleItem(int radius, const QPen &pen, const QBrush &brush);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
        QWidget *widget = nullptr) override;

    int radius() const { return m_radius; }

private:
    int m_radius;
    QPen m_pen;
    QBrush m_brush;
};

class Arrow : public QGraphicsItem
{
public:
    Arrow();

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
        QWidget *widget = nullptr) override;

    void setLine(const QLineF &line);
    QLineF line() const { return m_line; }
    void setHeadSize(double size) { m_headSize = size; }
    double headSize() const { return m_headSize; }
    void setPen(const QPen &pen) { m_pen = pen; }
    QPen pen() const { return m_pen; }

    // The head's triangle (p2, A, B) for a line; empty for a line too short to have a
    // direction, so a zero force draws no head and no undefined angle reaches the painter.
    static QPolygonF headPolygon(const QLineF &line, double headSize);

private:
    QPen m_pen;
    QLineF m_line;
    double m_headSize;
};

class AxisView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    static constexpr double kRawScale = 1.0 / 4096.0;

    explicit AxisView(QWidget *parent = nullptr);

    // Follows the spring centre the effect list reports.
    void followEffects(EffectListModel *effects);
    // With a pacer the markers move at its frames instead of at every call.
    void setPacer(FramePacer *pacer);

    // Head size of the force arrow for a force (8 * |f| + 2, within 2..10).
    static double headSizeFor(double fx, double fy);

    // The chart position of a value pair (x, -y).
    QPointF chartPosition(double x, double y) const;

    QPointF positionDotPos() const;
    QPointF centreRingPos() const;
    const Arrow *forceArrow() const { return m_arrow; }

public Q_SLOTS:
    void setPosition(double x, double y);
    void setForce(double fx, double fy);
    void setCenter(int x, int y);

private:
    void apply();

    QtCharts::QChart *m_chart = nullptr;
    QtCharts::QAbstractSeries *m_series = nullptr;
    Arrow *m_arrow = nullptr;
    CircleItem *m_dot = nullptr;
    CircleItem *m_ring = nullptr;
    FramePacer *m_pacer = nullptr;
    QPointF m_position;
    QPointF m_force;
    QPointF m_centre;
};
