#pragma once
// Force against position for one axis over a time range: the spring's actual curve, to lay
// beside the gain map. Every sample in the range is one vertex of the path; the newest is
// marked.

#include <QWidget>

class TelemetryRing;

class ScopeXYPlot : public QWidget
{
    Q_OBJECT

public:
    enum Axis { AxisX, AxisY };

    explicit ScopeXYPlot(QWidget *parent = nullptr);

    void setRing(const TelemetryRing *ring);
    void setAxis(Axis axis);
    Axis axis() const { return m_axis; }
    // Channel indices of the position and force drawn for an axis.
    static int positionChannel(Axis axis);
    static int forceChannel(Axis axis);
    void setTimeRange(double t0, double t1);

    int paintCount() const { return m_paints; }
    QSize sizeHint() const override { return {420, 420}; }
    QSize minimumSizeHint() const override { return {160, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const TelemetryRing *m_ring = nullptr;
    Axis m_axis = AxisX;
    double m_t0 = 0;
    double m_t1 = 1000;
    int m_paints = 0;
};
