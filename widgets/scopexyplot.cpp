#include "scopexyplot.h"

#include "scopeplot.h"
#include "telemetryrecorder.h"
#include "telemetryring.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cstdlib>

namespace {

// Full deflection and full force are both 4096; the view grows past that when needed.
constexpr int kFullScale = 4096;
constexpr int kMargin = 34;

} // namespace

ScopeXYPlot::ScopeXYPlot(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScopeXYPlot::setRing(const TelemetryRing *ring)
{
    m_ring = ring;
    update();
}

void ScopeXYPlot::setAxis(Axis axis)
{
    m_axis = axis;
    update();
}

int ScopeXYPlot::positionChannel(Axis axis)
{
    return TelemetryRecorder::channelIndex(
        axis == AxisX ? QStringLiteral("x") : QStringLiteral("y"));
}

int ScopeXYPlot::forceChannel(Axis axis)
{
    return TelemetryRecorder::channelIndex(
        axis == AxisX ? QStringLiteral("fxout") : QStringLiteral("fyout"));
}

void ScopeXYPlot::setTimeRange(double t0, double t1)
{
    m_t0 = t0;
    m_t1 = t1 > t0 ? t1 : t0 + 1;
    update();
}

void ScopeXYPlot::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int side = qMax(40, qMin(width(), height()) - 2 * kMargin);
    const QRect area((width() - side) / 2, (height() - side) / 2, side, side);

    const int pos = positionChannel(m_axis);
    const int force = forceChannel(m_axis);
    int begin = 0;
    int end = 0;
    int32_t extent = kFullScale;
    if (m_ring && !m_ring->isEmpty()) {
        begin = m_ring->lowerBound(m_t0);
        end = m_ring->lowerBound(m_t1);
        for (int i = begin; i < end; ++i) {
            extent = std::max(
                {extent, std::abs(m_ring->valueAt(pos, i)), std::abs(m_ring->valueAt(force, i))});
        }
    }
    // Round the scale up to a multiple of 1024 so it does not twitch with every sample.
    extent = (extent + 1023) / 1024 * 1024;
    const double k = side / (2.0 * extent);
    auto map = [&](int32_t px, int32_t fy) {
        return QPointF(area.center().x() + px * k, area.center().y() - fy * k);
    };

    const QColor gridColor = palette().color(QPalette::Mid).lighter(150);
    painter.setPen(gridColor);
    for (int f = -4; f <= 4; ++f) {
        const double d = f * side / 8.0;
        painter.drawLine(QPointF(area.center().x() + d, area.top()),
            QPointF(area.center().x() + d, area.bottom()));
        painter.drawLine(QPointF(area.left(), area.center().y() + d),
            QPointF(area.right(), area.center().y() + d));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    painter.drawLine(area.left(), area.center().y(), area.right(), area.center().y());
    painter.drawLine(area.center().x(), area.top(), area.center().x(), area.bottom());

    painter.setPen(palette().color(QPalette::Text));
    const QString posName = QString::fromLatin1(TelemetryRecorder::channel(pos).name);
    const QString forceName = QString::fromLatin1(TelemetryRecorder::channel(force).name);
    painter.drawText(QRect(area.left(), area.bottom() + 2, area.width(), kMargin - 2),
        Qt::AlignHCenter | Qt::AlignTop,
        QStringLiteral("%1 (%2 … %3)").arg(posName).arg(-extent).arg(extent));
    painter.save();
    painter.translate(area.left() - 4, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-area.height() / 2, -kMargin + 2, area.height(), kMargin - 4),
        Qt::AlignHCenter | Qt::AlignBottom,
        QStringLiteral("%1 (%2 … %3)").arg(forceName).arg(-extent).arg(extent));
    painter.restore();

    if (end <= begin)
        return;
    QPolygonF path;
    path.reserve(end - begin);
    for (int i = begin; i < end; ++i)
        path.append(map(m_ring->valueAt(pos, i), m_ring->valueAt(force, i)));
    painter.setClipRect(area);
    painter.setPen(QPen(ScopePlot::channelColor(force), 1));
    painter.drawPolyline(path);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(palette().color(QPalette::Text));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(path.last(), 3.5, 3.5);
}
