#include "paintpacer.h"

#include <QEvent>

PaintPacer::PaintPacer(QWidget *watched, int intervalMs)
    : QObject(watched)
    , m_watched(watched)
    , m_interval(qMax(intervalMs, 1))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PaintPacer::fire);
    if (watched)
        watched->installEventFilter(this);
}

void PaintPacer::request()
{
    if (m_timer.isActive() || !m_watched || !m_watched->isVisible())
        return;
    // A frame waits out the rest of the interval since the previous one.
    const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : m_interval;
    m_timer.start(int(qBound<qint64>(0, m_interval - since, m_interval)));
}

void PaintPacer::fire()
{
    if (!m_watched || !m_watched->isVisible())
        return;
    m_sinceLast.start();
    ++m_frames;
    Q_EMIT frameDue();
}

bool PaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watched) {
        if (event->type() == QEvent::Hide)
            m_timer.stop();
        else if (event->type() == QEvent::Show)
            request();
    }
    return QObject::eventFilter(watched, event);
}
