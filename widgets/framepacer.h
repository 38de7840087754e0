#pragma once
// Paces the drawing of live views: callers say "something changed" as often as data arrives;
// frame() follows at most once per frame interval (about 60 Hz), only while the watched
// widget is visible and its window is not minimised. A change made while hidden is drawn
// once when the widget shows again. Only drawing is paced: edge events stay with the data.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

class FramePacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFrameIntervalMs = 16;

    // watched decides visibility; the pacer is its child unless a parent is given.
    explicit FramePacer(QWidget *watched, QObject *parent = nullptr);

    // Time between frames (default kFrameIntervalMs); numbers a person reads need fewer.
    void setInterval(int ms) { m_intervalMs = ms > 0 ? ms : kFrameIntervalMs; }
    int interval() const { return m_intervalMs; }

    // Something changed: a frame follows once drawing is possible. Cheap, call per message.
    void request();
    // Frames emitted so far (benchmarks and tests count them).
    int frameCount() const { return m_frames; }
    bool isPending() const { return m_pending; }
    // True while the watched widget can be seen.
    bool canDraw() const;
    QWidget *watched() const { return m_watched; }

Q_SIGNALS:
    // Draw the latest values now.
    void frame();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    void schedule();
    void onTimeout();

    QPointer<QWidget> m_watched;
    QPointer<QWidget> m_window;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    bool m_pending = false;
    int m_frames = 0;
    int m_intervalMs = kFrameIntervalMs;
};
