#include "scopeplot.h"

#include "telemetryrecorder.h"
#include "telemetryring.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kLeftMargin = 58;
constexpr int kRightMargin = 8;
constexpr int kTopMargin = 4;
constexpr int kBottomMargin = 20;
constexpr int kLaneGap = 8;

// 1, 2 or 5 times a power of ten, at least `raw`.
double niceStep(double raw)
{
    if (!(raw > 0))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * power;
}

int decimalsFor(double step)
{
    int d = 0;
    while (d < 4 && step * std::pow(10.0, d) < 0.999)
        ++d;
    return d;
}

} // namespace

struct ScopePlot::Lane
{
    QString title;
    QString unit;
    QVector<int> members; // indices into m_channels / m_columns
};

ScopePlot::ScopePlot(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(false);
}

ScopePlot::~ScopePlot() = default;

QColor ScopePlot::channelColor(int channel)
{
    static const QColor kColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
        QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd),
        QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf),
        QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22)};
    // x, fxout, y, fyout get the first four colours, so the default view is easy to read.
    static const int kOrder[] = {0, 2, 4, 5, 6, 7, 1, 3, 8, 9, 4, 0, 2, 0, 2, 1, 3, 6, 7};
    const int n = int(sizeof(kOrder) / sizeof(kOrder[0]));
    const int pick = channel >= 0 && channel < n ? kOrder[channel] : channel;
    return kColors[((pick % 10) + 10) % 10];
}

void ScopePlot::setRing(const TelemetryRing *ring)
{
    m_ring = ring;
    update();
}

void ScopePlot::setChannels(const QVector<int> &channels)
{
    m_channels.clear();
    for (int c : channels) {
        if (c >= 0 && c < TelemetryRecorder::channelCount() && !m_channels.contains(c))
            m_channels.append(c);
    }
    update();
}

void ScopePlot::setTimeRange(double t0, double t1, double reference)
{
    if (!(t1 > t0))
        t1 = t0 + 1;
    m_t0 = t0;
    m_t1 = t1;
    m_reference = reference;
    update();
}

void ScopePlot::setCursorTime(double timeMs)
{
    m_cursor = timeMs;
    m_hasCursor = true;
    update();
}

void ScopePlot::clearCursor()
{
    m_hasCursor = false;
    update();
}

QRect ScopePlot::plotRect() const
{
    return QRect(kLeftMargin, kTopMargin, qMax(1, width() - kLeftMargin - kRightMargin),
        qMax(1, height() - kTopMargin - kBottomMargin));
}

double ScopePlot::timeAtX(double x) const
{
    const QRect r = plotRect();
    return m_t0 + (x - r.left()) * (m_t1 - m_t0) / r.width();
}

void ScopePlot::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = plotRect();

    // One lane per group, in the order the groups first appear among the channels.
    QVector<Lane> lanes;
    for (int i = 0; i < m_channels.size(); ++i) {
        const TelemetryChannel &ch = TelemetryRecorder::channel(m_channels[i]);
        const QString group = QString::fromUtf8(ch.group);
        auto it = std::find_if(
            lanes.begin(), lanes.end(), [&](const Lane &l) { return l.title == group; });
        if (it == lanes.end()) {
            lanes.append(Lane {group, QString::fromUtf8(ch.unit), {}});
            it = lanes.end() - 1;
        }
        it->members.append(i);
    }
    m_columns.resize(size_t(m_channels.size()));

    if (lanes.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, tr("Choose signals to plot"));
    } else {
        const int laneHeight
            = qMax(20, (area.height() - kLaneGap * (lanes.size() - 1)) / lanes.size());
        for (int i = 0; i < lanes.size(); ++i) {
            const QRect laneRect(
                area.left(), area.top() + i * (laneHeight + kLaneGap), area.width(), laneHeight);
            drawLane(painter, lanes[i], laneRect);
        }
    }
    drawTimeAxis(painter, area);

    if (m_hasCursor && m_cursor >= m_t0 && m_cursor < m_t1) {
        const double x = area.left() + (m_cursor - m_t0) * area.width() / (m_t1 - m_t0);
        painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

void ScopePlot::drawLane(QPainter &painter, const Lane &lane, const QRect &area)
{
    const int columns = area.width();
    const double span = m_t1 - m_t0;
    const bool haveData = m_ring && !m_ring->isEmpty();
    const int begin = haveData ? m_ring->lowerBound(m_t0) : 0;
    const int end = haveData ? m_ring->lowerBound(m_t1) : 0;
    // Few samples: draw them as a line through each; many: min/max per pixel column.
    const bool reduced = end - begin > 2 * columns;

    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    for (int slot : lane.members) {
        const int channel = m_channels[slot];
        if (!haveData)
            continue;
        if (reduced) {
            std::vector<MinMaxColumn> &cols = m_columns[size_t(slot)];
            cols.resize(size_t(columns));
            m_ring->reduce(channel, m_t0, m_t1, cols.data(), columns);
            for (const MinMaxColumn &c : cols) {
                if (c.count) {
                    lo = std::min(lo, TelemetryRecorder::physical(channel, c.min));
                    hi = std::max(hi, TelemetryRecorder::physical(channel, c.max));
                }
            }
        } else {
            for (int i = qMax(0, begin - 1); i < qMin(m_ring->size(), end + 1); ++i) {
                const double v = TelemetryRecorder::physical(channel, m_ring->valueAt(channel, i));
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    if (lo > hi) {
        lo = -1;
        hi = 1;
    }
    if (hi - lo < 1e-9) {
        const double pad = std::max(1.0, std::abs(hi) * 0.1);
        lo -= pad;
        hi += pad;
    }
    const double step = niceStep((hi - lo) / 4);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    const double pxPerUnit = area.height() / (hi - lo);
    auto yOf = [&](double v) { return area.bottom() + 1 - (v - lo) * pxPerUnit; };

    // Grid, scale and frame.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor gridColor = palette().color(QPalette::Mid).lighter(150);
    const QColor textColor = palette().color(QPalette::Text);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    const int decimals = decimalsFor(step);
    for (double v = lo; v <= hi + step * 0.5; v += step) {
        const double y = yOf(v);
        painter.setPen(gridColor);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(textColor);
        painter.drawText(QRectF(0, y - 8, kLeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(v, 'f', decimals));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    // Traces.
    painter.setClipRect(area);
    for (int slot : lane.members) {
        if (!haveData)
            break;
        const int channel = m_channels[slot];
        painter.setPen(QPen(channelColor(channel), 1));
        if (reduced) {
            const std::vector<MinMaxColumn> &cols = m_columns[size_t(slot)];
            QVector<QLineF> lines;
            lines.reserve(columns);
            bool previous = false;
            double previousLast = 0;
            for (int c = 0; c < columns; ++c) {
                const MinMaxColumn &col = cols[size_t(c)];
                if (!col.count) {
                    previous = false;
                    continue;
                }
                double top = TelemetryRecorder::physical(channel, col.max);
                double bottom = TelemetryRecorder::physical(channel, col.min);
                // Reach back to the previous column's last value, so the trace is joined.
                if (previous) {
                    top = std::max(top, previousLast);
                    bottom = std::min(bottom, previousLast);
                }
                const double x = area.left() + c + 0.5;
                const double yTop = yOf(top);
                // A flat column still shows as one pixel.
                const double yBottom = std::max(yOf(bottom), yTop + 1);
                lines.append(QLineF(x, yTop, x, yBottom));
                previous = true;
                previousLast = TelemetryRecorder::physical(channel, col.last);
            }
            painter.drawLines(lines);
        } else {
            QPolygonF points;
            for (int i = qMax(0, begin - 1); i < qMin(m_ring->size(), end + 1); ++i) {
                const double x = area.left() + (double(m_ring->timeAt(i)) - m_t0) / span * columns;
                points.append(QPointF(
                    x, yOf(TelemetryRecorder::physical(channel, m_ring->valueAt(channel, i)))));
            }
            if (points.size() == 1)
                painter.drawPoint(points.first());
            else
                painter.drawPolyline(points);
        }
    }
    painter.setClipping(false);

    // Lane title and legend in the channels' colours.
    QFont bold = small;
    bold.setBold(true);
    painter.setFont(bold);
    int x = area.left() + 6;
    const int y = area.top() + QFontMetrics(bold).ascent() + 2;
    QString title = lane.title;
    if (!lane.unit.isEmpty())
        title += QStringLiteral(" (") + lane.unit + QLatin1Char(')');
    painter.setPen(textColor);
    painter.drawText(x, y, title);
    x += QFontMetrics(bold).horizontalAdvance(title) + 12;
    for (int slot : lane.members) {
        const int channel = m_channels[slot];
        const QString name = QString::fromLatin1(TelemetryRecorder::channel(channel).name);
        painter.setPen(channelColor(channel));
        painter.drawText(x, y, name);
        x += QFontMetrics(bold).horizontalAdvance(name) + 10;
    }
}

void ScopePlot::drawTimeAxis(QPainter &painter, const QRect &area)
{
    const double span = m_t1 - m_t0;
    const double step = niceStep(span / 8);
    const int decimals = decimalsFor(step / 1000.0);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    painter.setPen(palette().color(QPalette::Text));
    // Ticks at whole steps from the reference time, so they move with the data.
    const double first = m_reference + std::ceil((m_t0 - m_reference) / step) * step;
    for (double t = first; t < m_t1; t += step) {
        const double x = area.left() + (t - m_t0) * area.width() / span;
        painter.drawLine(QPointF(x, area.bottom() + 1), QPointF(x, area.bottom() + 4));
        const QString text
            = QString::number((t - m_reference) / 1000.0, 'f', decimals) + QStringLiteral(" s");
        painter.drawText(QRectF(x - 40, area.bottom() + 4, 80, kBottomMargin - 4),
            Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

void ScopePlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        setCursorTime(timeAtX(event->pos().x()));
        Q_EMIT cursorMoved(m_cursor);
    } else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        m_dragX = event->pos().x();
    }
    event->accept();
}

void ScopePlot::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton) {
        setCursorTime(timeAtX(event->pos().x()));
        Q_EMIT cursorMoved(m_cursor);
    } else if (m_dragX >= 0) {
        const int dx = event->pos().x() - m_dragX;
        m_dragX = event->pos().x();
        if (dx)
            Q_EMIT panRequested(-dx * (m_t1 - m_t0) / plotRect().width());
    }
    event->accept();
}

void ScopePlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)
        m_dragX = -1;
    event->accept();
}

void ScopePlot::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const double span = m_t1 - m_t0;
    if (delta.x() != 0 || (event->modifiers() & Qt::ShiftModifier)) {
        const int d = delta.x() != 0 ? delta.x() : delta.y();
        Q_EMIT panRequested(-d / 120.0 * span / 10.0);
    } else if (delta.y() != 0) {
        const double factor = std::pow(0.8, delta.y() / 120.0);
        Q_EMIT zoomRequested(factor, timeAtX(event->position().x()));
    }
    event->accept();
}
