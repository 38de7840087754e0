#include "framepacer.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

FramePacer::FramePacer(QWidget *watched, QObject *parent)
    : QObject(parent ? parent : watched)
    , m_watched(watched)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FramePacer::onTimeout);
    if (m_watched) {
        m_watched->installEventFilter(this);
        m_window = m_watched->window();
        if (m_window && m_window != m_watched)
            m_window->installEventFilter(this);
    }
}

bool FramePacer::canDraw() const
{
    if (!m_watched || !m_watched->isVisible())
        return false;
    const QWidget *window = m_watched->window();
    return !(window->windowState() & Qt::WindowMinimized);
}

void FramePacer::request()
{
    m_pending = true;
    schedule();
}

void FramePacer::schedule()
{
    // The timer runs only while something waits to be drawn and can be seen, so an idle
    // or hidden view costs no wake-ups.
    if (!m_pending || m_timer.isActive() || !canDraw())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : m_intervalMs;
    m_timer.start(int(std::max<qint64>(0, m_intervalMs - since)));
}

void FramePacer::onTimeout()
{
    if (!m_pending || !canDraw())
        return;
    m_pending = false;
    m_sinceFrame.start();
    ++m_frames;
    Q_EMIT frame();
}

bool FramePacer::eventFilter(QObject *object, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowStateChange:
        // Shown again (tab made current, window restored): draw what arrived meanwhile.
        if (m_pending)
            QTimer::singleShot(0, this, &FramePacer::schedule);
        break;
    case QEvent::ParentChange:
        if (object == m_watched) {
            if (m_window && m_window != m_watched)
                m_window->removeEventFilter(this);
            m_window = m_watched->window();
            if (m_window && m_window != m_watched)
                m_window->installEventFilter(this);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(object, event);
}
