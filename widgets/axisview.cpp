#include "axisview.h"

#include "effectlistmodel.h"
#include "framepacer.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

constexpr int kPlotSize = 120;

double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

} // namespace

CircleItem::CircleItem(int radius, const QPen &pen, const QBrush &brush)
    : m_radius(radius)
    , m_pen(pen)
    , m_brush(brush)
{
}

QRectF CircleItem::boundingRect() const
{
    // Half the pen lies outside the ellipse.
    const qreal grow = m_pen.widthF() / 2 + 1;
    return QRectF(-m_radius, -m_radius, 2 * m_radius, 2 * m_radius)
        .adjusted(-grow, -grow, grow, grow);
}

void CircleItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->setPen(m_pen);
    painter->setBrush(m_brush);
    painter->drawEllipse(QRect(-m_radius, -m_radius, 2 * m_radius, 2 * m_radius));
}

Arrow::Arrow()
    : m_pen(Qt::black, 2)
    , m_line(10, 10, 50, 50)
    , m_headSize(10)
{
}

void Arrow::setLine(const QLineF &line)
{
    if (line == m_line)
        return;
    prepareGeometryChange();
    m_line = line;
}

QRectF Arrow::boundingRect() const
{
    return QRectF(m_line.p1(), m_line.p2()).normalized().adjusted(-11, -11, 11, 11);
}

QPolygonF Arrow::headPolygon(const QLineF &line, double headSize)
{
    const double length = line.length();
    if (!(length > 1e-6) || !std::isfinite(length) || !std::isfinite(headSize))
        return QPolygonF();
    double angle = std::acos(std::clamp((line.dx()) / length, -1.0, 1.0));
    if (line.dy() >= 0)
        angle = 2 * M_PI - angle;
    const QPointF p2 = line.p2();
    const QPointF a = p2
        - QPointF(std::sin(angle + M_PI / 3) * headSize, std::cos(angle + M_PI / 3) * headSize);
    const QPointF b = p2
        - QPointF(std::sin(angle + M_PI - M_PI / 3) * headSize,
            std::cos(angle + M_PI - M_PI / 3) * headSize);
    return QPolygonF({p2, a, b});
}

void Arrow::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QPolygonF head = headPolygon(m_line, m_headSize);
    // A zero force has no direction: nothing to draw.
    if (head.isEmpty())
        return;
    painter->setPen(m_pen);
    painter->drawLine(m_line);
    painter->setBrush(Qt::NoBrush);
    painter->drawPolygon(head);
}

AxisView::AxisView(QWidget *parent)
    : QChartView(parent)
{
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);

    m_chart = new QChart();
    auto *series = new QScatterSeries(this);
    m_series = series;
    m_chart->addSeries(series);
    m_chart->createDefaultAxes();
    m_chart->legend()->hide();
    const auto axes = m_chart->axes();
    for (QAbstractAxis *abstractAxis : axes) {
        auto *axis = qobject_cast<QValueAxis *>(abstractAxis);
        if (!axis)
            continue;
        axis->setRange(-1.0, 1.0);
        axis->setLabelsVisible(false);
        axis->setTitleVisible(false);
        axis->setMinorGridLineVisible(true);
        axis->setMinorGridLinePen(QPen(QColor(QStringLiteral("#ddd"))));
        axis->setMinorTickCount(1);
        axis->setGridLinePen(QPen(QColor(QStringLiteral("#ccc"))));
        axis->setTickCount(3);
        axis->setTickAnchor(0);
    }
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setContentsMargins(0, 0, 0, 0);
    m_chart->setBackgroundRoundness(0);
    setChart(m_chart);
    setRenderHint(QPainter::Antialiasing);
    m_chart->setPlotArea(QRectF(0, 0, kPlotSize, kPlotSize));

    QColor dotFill(QStringLiteral("dodgerblue"));
    dotFill.setAlpha(128);
    m_dot = new CircleItem(5, QPen(QBrush(QColor(QStringLiteral("dodgerblue"))), 2),
        QBrush(dotFill, Qt::SolidPattern));
    m_ring = new CircleItem(
        9, QPen(QBrush(QColor(QStringLiteral("darkcyan"))), 2), QBrush(Qt::NoBrush));
    m_arrow = new Arrow();

    // The grid never changes: each of its items is drawn once into a cached pixmap, so a
    // moving marker costs a few blits instead of redrawing the chart.
    const auto chartItems = scene()->items();
    for (QGraphicsItem *item : chartItems)
        item->setCacheMode(QGraphicsItem::DeviceCoordinateCache);

    // Arrow first, so the ring and then the dot are drawn over it.
    scene()->addItem(m_arrow);
    scene()->addItem(m_ring);
    scene()->addItem(m_dot);

    apply();
}

void AxisView::followEffects(EffectListModel *effects)
{
    connect(effects, &EffectListModel::centerPositionChanged, this, &AxisView::setCenter);
}

void AxisView::setPacer(FramePacer *pacer)
{
    if (m_pacer)
        disconnect(m_pacer, nullptr, this, nullptr);
    m_pacer = pacer;
    if (m_pacer)
        connect(m_pacer, &FramePacer::frame, this, &AxisView::apply);
}

double AxisView::headSizeFor(double fx, double fy)
{
    const double size = 8 * std::sqrt(fx * fx + fy * fy) + 2;
    return std::isfinite(size) ? std::clamp(size, 2.0, 10.0) : 2.0;
}

QPointF AxisView::chartPosition(double x, double y) const
{
    return m_chart->mapToPosition(QPointF(x, -y), m_series);
}

QPointF AxisView::positionDotPos() const
{
    return m_dot->pos();
}

QPointF AxisView::centreRingPos() const
{
    return m_ring->pos();
}

void AxisView::setPosition(double x, double y)
{
    m_position = QPointF(finiteOrZero(x), finiteOrZero(y));
    if (m_pacer)
        m_pacer->request();
    else
        apply();
}

void AxisView::setForce(double fx, double fy)
{
    m_force = QPointF(finiteOrZero(fx), finiteOrZero(fy));
    if (m_pacer)
        m_pacer->request();
    else
        apply();
}

void AxisView::setCenter(int x, int y)
{
    m_centre = QPointF(x * kRawScale, y * kRawScale);
    if (m_pacer)
        m_pacer->request();
    else
        apply();
}

void AxisView::apply()
{
    m_ring->setPos(chartPosition(m_centre.x(), m_centre.y()));
    m_arrow->setLine(QLineF(chartPosition(0, 0), chartPosition(m_force.x(), m_force.y())));
    m_arrow->setHeadSize(headSizeFor(m_force.x(), m_force.y()));
    m_arrow->setPen(QPen(QBrush(QColor(QStringLiteral("mediumvioletred"))), 2));
    m_dot->setPos(chartPosition(m_position.x(), m_position.y()));
}
