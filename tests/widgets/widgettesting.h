#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QTest>
#include <QWidget>

namespace widgettest {

// QTest's mouse move carries no buttons in Qt 5; drags are sent as explicit events.
inline void sendMouse(QWidget *target, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
    Qt::MouseButtons buttons)
{
    QMouseEvent event(
        type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

inline void drag(QWidget *target, const QPoint &from, const QPoint &to, int steps = 5)
{
    sendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = from + (to - from) * i / steps;
        sendMouse(target, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    }
    sendMouse(target, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

// Shows the window and makes it the active one, so that focus changes take effect.
inline bool showActive(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

} // namespace widgettest
