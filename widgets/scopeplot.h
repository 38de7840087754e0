#pragma once
// The Scope's time plot: the chosen telemetry channels over a time range, one lane per kind
// of quantity (position and force, current, temperature, ...) each with its own vertical
// scale in the channel's unit. Drawn straight with QPainter from the recorded samples: when
// a range holds more samples than the lane has pixel columns, each column shows the min/max
// of its samples, so short spikes stay visible at any zoom. Mouse: the left button places
// the cursor, the wheel zooms, a right or middle drag (or Shift+wheel) scrolls.

#include <QVector>
#include <QWidget>

#include <vector>

class TelemetryRing;
struct MinMaxColumn;

class ScopePlot : public QWidget
{
    Q_OBJECT

public:
    explicit ScopePlot(QWidget *parent = nullptr);
    ~ScopePlot() override;

    static QColor channelColor(int channel);

    // The samples to draw (not owned; may be null).
    void setRing(const TelemetryRing *ring);
    const TelemetryRing *ring() const { return m_ring; }
    // Channel indices of TelemetryRecorder, drawn in this order.
    void setChannels(const QVector<int> &channels);
    QVector<int> channels() const { return m_channels; }
    // Shows the samples with t0 <= time < t1 (milliseconds). Time labels count from the
    // reference time (usually the newest sample), in seconds.
    void setTimeRange(double t0, double t1, double reference);
    double startTime() const { return m_t0; }
    double endTime() const { return m_t1; }

    void setCursorTime(double timeMs);
    void clearCursor();
    bool hasCursor() const { return m_hasCursor; }
    double cursorTime() const { return m_cursor; }

    // The rectangle the traces are drawn in, and the time at a horizontal position in it.
    QRect plotRect() const;
    double timeAtX(double x) const;

    int paintCount() const { return m_paints; }
    QSize sizeHint() const override { return {800, 400}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

Q_SIGNALS:
    void cursorMoved(double timeMs);
    // factor < 1 narrows the range; aroundMs stays where it is.
    void zoomRequested(double factor, double aroundMs);
    void panRequested(double deltaMs);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct Lane;
    void drawLane(QPainter &painter, const Lane &lane, const QRect &area);
    void drawTimeAxis(QPainter &painter, const QRect &area);

    const TelemetryRing *m_ring = nullptr;
    QVector<int> m_channels;
    double m_t0 = 0;
    double m_t1 = 1000;
    double m_reference = 1000;
    double m_cursor = 0;
    bool m_hasCursor = false;
    int m_dragX = -1;
    int m_paints = 0;
    // Reused from frame to frame, one buffer per drawn channel.
    std::vector<std::vector<MinMaxColumn>> m_columns;
};
