#include "mappingchart.h"

#include "widgetslog.h"

#include <QMouseEvent>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {
// Limits v to lo..hi; when the bounds cross, hi wins so points never leave the frame.
double bounded(double v, double lo, double hi)
{
    return std::min(hi, std::max(lo, v));
}

QPointF limitedToFrame(const QPointF &p)
{
    return {bounded(p.x(), -1.0, 1.0), bounded(p.y(), -1.0, 1.0)};
}

constexpr float kHitDistance = 0.05f;
constexpr double kMinStep = 0.01;
} // namespace

MappingChart::MappingChart(QWidget *parent)
    : QChartView(new QChart, parent)
    , m_chart(chart())
    , m_positive(new QLineSeries)
    , m_negative(new QLineSeries)
    , m_marker(new QLineSeries)
{
    // Both signals may travel through queued connections.
    qRegisterMetaType<DeviceMappingData>("DeviceMappingData");
    qRegisterMetaType<QList<QPointF>>("QList<QPointF>");
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->setBackgroundBrush(QBrush(Qt::transparent));
    m_chart->legend()->hide();

    QPen positivePen(QColor(QStringLiteral("dodgerblue")));
    positivePen.setWidth(3);
    m_positive->setPen(positivePen);
    m_positive->setPointsVisible(true);
    QPen negativePen(QColor(QStringLiteral("crimson")));
    negativePen.setWidth(3);
    m_negative->setPen(negativePen);
    m_negative->setPointsVisible(true);
    QPen markerPen(Qt::black);
    markerPen.setWidth(1);
    m_marker->setPen(markerPen);

    m_marker->append(0.0, -1.0);
    m_marker->append(0.0, 1.0);
    m_positive->append(defaultPositive());
    m_negative->append(defaultNegative());

    m_chart->addSeries(m_marker);
    m_chart->addSeries(m_positive);
    m_chart->addSeries(m_negative);
    m_chart->createDefaultAxes();
    const auto axes = m_chart->axes();
    for (QAbstractAxis *axis : axes)
        axis->setRange(-1.0, 1.0);
    setAxisTitles(tr("Force In"), tr("Force Out"));
    setRenderHint(QPainter::Antialiasing);
}

QList<QPointF> MappingChart::defaultPositive()
{
    return {{0.0, 0.0}, {0.5, 0.5}, {1.0, 1.0}};
}

QList<QPointF> MappingChart::defaultNegative()
{
    return {{0.0, 0.0}, {-0.5, -0.5}, {-1.0, -1.0}};
}

void MappingChart::setAxisTitles(const QString &xTitle, const QString &yTitle)
{
    const auto horizontal = m_chart->axes(Qt::Horizontal);
    const auto vertical = m_chart->axes(Qt::Vertical);
    if (!horizontal.isEmpty())
        horizontal.first()->setTitleText(xTitle);
    if (!vertical.isEmpty())
        vertical.first()->setTitleText(yTitle);
}

void MappingChart::setSymmetric(bool en)
{
    m_symmetric = en;
}

void MappingChart::setCurrentValue(float val)
{
    if (!std::isfinite(val))
        val = 0.0f;
    m_currentValue = std::clamp(val, -1.0f, 1.0f);
    m_marker->replace(0, QPointF(m_currentValue, -1.0));
    m_marker->replace(1, QPointF(m_currentValue, 1.0));
}

int8_t MappingChart::toCurveValue(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int8_t>(std::lround(bounded(value, -1.0, 1.0) * 127.0));
}

float MappingChart::fromCurveValue(int8_t value)
{
    return std::clamp(static_cast<float>(value) / 127.0f, -1.0f, 1.0f);
}

DeviceMappingData MappingChart::toDeviceMapping(const QList<QPointF> &points)
{
    DeviceMappingData data;
    data.count = 0;
    std::fill(std::begin(data.x), std::end(data.x), int8_t(0));
    std::fill(std::begin(data.y), std::end(data.y), int8_t(0));

    QList<QPointF> stored = points;
    if (stored.size() > kMaxPoints) {
        stored.removeOne(QPointF(0.0, 0.0));
        if (stored.size() > kMaxPoints)
            qCWarning(lcWidgets) << "MappingChart: curve of" << stored.size() << "points cut to"
                                 << kMaxPoints;
    }
    for (const QPointF &p : qAsConst(stored)) {
        if (data.count >= kMaxPoints)
            break;
        data.x[data.count] = toCurveValue(p.x());
        data.y[data.count] = toCurveValue(p.y());
        ++data.count;
    }
    return data;
}

void MappingChart::fromDeviceMapping(
    const DeviceMappingData &data, QList<QPointF> *negative, QList<QPointF> *positive)
{
    QList<QPointF> neg, pos;
    const int count = std::min<int>(data.count, kMaxPoints);
    for (int i = 0; i < count; ++i) {
        const QPointF p(fromCurveValue(data.x[i]), fromCurveValue(data.y[i]));
        if (data.x[i] < 0)
            neg.prepend(p);
        else if (data.x[i] > 0)
            pos.append(p);
        // A point at x = 0 would duplicate the origin, which both sides get anyway.
    }
    // Stored curves are ordered by x; keep the sides ordered outward even when one is not.
    std::stable_sort(
        pos.begin(), pos.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    std::stable_sort(
        neg.begin(), neg.end(), [](const QPointF &a, const QPointF &b) { return a.x() > b.x(); });
    neg.prepend(QPointF(0.0, 0.0));
    pos.prepend(QPointF(0.0, 0.0));
    if (negative)
        *negative = neg;
    if (positive)
        *positive = pos;
}

void MappingChart::setMapping(const DeviceMappingData &data)
{
    qDebug() << "MappingDialog::setMapping cnt:" << data.count << data;
    if (data.count == 0)
        return;
    QList<QPointF> neg, pos;
    fromDeviceMapping(data, &neg, &pos);
    m_positive->replace(pos);
    m_negative->replace(neg);
}

void MappingChart::resetMapping()
{
    m_positive->replace(defaultPositive());
    m_negative->replace(defaultNegative());
    publish(nullptr);
}

QList<QPointF> MappingChart::points() const
{
    QList<QPointF> list;
    const QList<QPointF> neg = m_negative->points();
    for (int i = neg.size() - 1; i >= 1; --i)
        list.append(neg.at(i));
    list.append(m_positive->points());
    return list;
}

int MappingChart::combinedCount(int negativeCount, int positiveCount)
{
    // Both sides hold the origin; the record holds it once.
    return std::max(negativeCount - 1, 0) + positiveCount;
}

QPointF MappingChart::valueAt(const QPoint &viewportPos) const
{
    return m_chart->mapToValue(m_chart->mapFromScene(mapToScene(viewportPos)), m_positive);
}

QPoint MappingChart::viewportPosition(const QPointF &value) const
{
    const QPointF scenePos = m_chart->mapToScene(m_chart->mapToPosition(value, m_positive));
    return mapFromScene(scenePos);
}

int MappingChart::hitIndex(const QLineSeries *series, const QPointF &value) const
{
    const QList<QPointF> pts = series->points();
    for (int i = 0; i < pts.size(); ++i) {
        const float dx = static_cast<float>(pts.at(i).x() - value.x());
        const float dy = static_cast<float>(pts.at(i).y() - value.y());
        if (std::sqrt(dx * dx + dy * dy) < kHitDistance)
            return i;
    }
    return -1;
}

void MappingChart::mousePressEvent(QMouseEvent *event)
{
    const QPointF value = valueAt(event->localPos().toPoint());
    const int negHit = hitIndex(m_negative, value);
    const int posHit = hitIndex(m_positive, value);

    // A point of either side beats the shared origin; between two sides the positive one wins.
    QLineSeries *series = nullptr;
    int index = -1;
    if (posHit > 0) {
        series = m_positive;
        index = posHit;
    } else if (negHit > 0) {
        series = m_negative;
        index = negHit;
    } else if (posHit == 0 || negHit == 0) {
        series = m_positive;
        index = 0;
    }
    if (!series)
        return;

    if (event->button() == Qt::LeftButton) {
        m_dragIndex = series == m_negative ? -index : index;
        m_dragging = true;
    } else if (event->button() == Qt::RightButton) {
        const int last = series->count() - 1;
        if (index > 0 && index < last) {
            m_dragging = false;
            m_dragIndex = 0;
            series->remove(index);
            publish(series);
        } else if (index == 0) {
            // Re-centres the origin and republishes the curve.
            m_negative->replace(0, QPointF(0.0, 0.0));
            m_positive->replace(0, QPointF(0.0, 0.0));
            publish(m_positive);
        }
    }
}

void MappingChart::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    dragTo(valueAt(event->localPos().toPoint()));
}

void MappingChart::dragTo(const QPointF &v)
{
    if (m_dragIndex == 0)
        return;
    QLineSeries *series = m_dragIndex > 0 ? m_positive : m_negative;
    const int sign = m_dragIndex > 0 ? 1 : -1;
    const int i = std::abs(m_dragIndex);
    // The curve may have been reloaded while dragging; never touch a point that is gone.
    if (i >= series->count())
        return;

    const QPointF o = m_negative->at(0);
    double x, y;
    if (sign > 0) {
        x = bounded(v.x(), o.x() + kMinStep, 1.0);
        y = bounded(v.y(), o.y(), 1.0);
    } else {
        x = bounded(v.x(), -1.0, o.x() - kMinStep);
        y = bounded(v.y(), -1.0, o.y());
    }

    const int last = series->count() - 1;
    if (i < last) {
        const double a = series->at(i - 1).x();
        const double b = series->at(i + 1).x();
        x = bounded(x, std::min(a, b), std::max(a, b));
        series->replace(i, QPointF(x, y));
        publish(series);
        return;
    }

    // The end point stays on the outer frame: along the top (bottom) edge it moves in x, along
    // the right (left) edge in y. From the corner it follows the larger component of the drag.
    const QPointF cur = series->at(i);
    const double prevX = series->at(i - 1).x();
    const double candidateX
        = sign > 0 ? bounded(v.x(), prevX + kMinStep, 1.0) : bounded(v.x(), -1.0, prevX - kMinStep);
    const float s = static_cast<float>(sign);
    const bool onEdgeY = static_cast<float>(cur.y()) == s;
    const bool onEdgeX = static_cast<float>(cur.x()) == s;
    QPointF next = cur;
    if (onEdgeY && onEdgeX) {
        if (std::abs(v.x() - cur.x()) >= std::abs(v.y() - cur.y()))
            next = QPointF(candidateX, sign);
        else
            next = QPointF(sign, y);
    } else if (onEdgeY) {
        next = QPointF(candidateX, sign);
    } else if (onEdgeX) {
        next = QPointF(sign, y);
    } else {
        next = QPointF(cur.x(), sign);
    }
    series->replace(i, limitedToFrame(next));
    publish(series);
}

void MappingChart::mouseReleaseEvent(QMouseEvent *)
{
    m_dragIndex = 0;
    m_dragging = false;
}

void MappingChart::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    insertPoint(valueAt(event->localPos().toPoint()));
}

void MappingChart::insertPoint(const QPointF &v)
{
    QLineSeries *series = nullptr;
    int before = -1;
    const QList<QPointF> pos = m_positive->points();
    const QList<QPointF> neg = m_negative->points();
    const QPointF o = neg.value(0);
    if (v.x() > 0.0) {
        for (int i = 1; i < pos.size(); ++i) {
            if (pos.at(i).x() > v.x()) {
                before = i;
                break;
            }
        }
        series = m_positive;
    } else if (v.x() < 0.0) {
        for (int i = 1; i < neg.size(); ++i) {
            if (neg.at(i).x() < v.x()) {
                before = i;
                break;
            }
        }
        series = m_negative;
    }
    if (!series || before < 0)
        return;

    const int editedCount = series->count() + 1;
    const int total = m_symmetric ? combinedCount(editedCount, editedCount)
        : series == m_positive    ? combinedCount(neg.size(), editedCount)
                                  : combinedCount(editedCount, pos.size());
    if (total > kMaxPoints) {
        qCDebug(lcWidgets) << "MappingChart: a curve holds at most" << kMaxPoints << "points";
        return;
    }
    const double y
        = series == m_positive ? bounded(v.y(), o.y(), 1.0) : bounded(v.y(), -1.0, o.y());
    series->insert(before, QPointF(v.x(), y));
    publish(series);
}

void MappingChart::publish(QLineSeries *edited)
{
    if (m_symmetric && edited) {
        QLineSeries *other = edited == m_positive ? m_negative : m_positive;
        const QList<QPointF> pts = edited->points();
        if (combinedCount(pts.size(), pts.size()) <= kMaxPoints) {
            QList<QPointF> mirrored;
            const QPointF o = pts.value(0);
            mirrored.append(o);
            for (int i = 1; i < pts.size() - 1; ++i) {
                const QPointF p = 2.0 * o - pts.at(i);
                mirrored.append(
                    limitedToFrame(QPointF(static_cast<float>(p.x()), static_cast<float>(p.y()))));
            }
            if (pts.size() > 1)
                mirrored.append(-pts.last());
            other->replace(mirrored);
        } else {
            qCDebug(lcWidgets) << "MappingChart: curve too long to mirror; sides edited apart";
        }
    }
    const QList<QPointF> list = points();
    Q_EMIT mappingChanged(list);
    Q_EMIT mappingChanged(toDeviceMapping(list));
}
