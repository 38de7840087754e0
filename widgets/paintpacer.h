#pragma once
// Coalesces "new data" notifications into at most one frame per interval (16 ms, about
// 60 Hz), and into none at all while the watched widget is hidden. When the widget is shown
// again one frame follows with whatever arrived meanwhile. The owner connects frameDue() to
// whatever brings its views up to date and repaints them.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class PaintPacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFrameIntervalMs = 16;

    explicit PaintPacer(QWidget *watched, int intervalMs = kFrameIntervalMs);

    // Asks for a frame; cheap enough to call once per telemetry message.
    void request();
    bool isPending() const { return m_timer.isActive(); }
    // Frames delivered so far.
    int frameCount() const { return m_frames; }

Q_SIGNALS:
    void frameDue();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fire();

    QPointer<QWidget> m_watched;
    int m_interval;
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    int m_frames = 0;
};
