#include "wheelguard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

WheelGuard::WheelGuard(QObject *parent)
    : QObject(parent)
{
}

void WheelGuard::guard(QWidget *root)
{
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets)
        if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w)
            || (qobject_cast<QAbstractSlider *>(w) && !qobject_cast<QScrollBar *>(w)))
            guardControl(w);
}

void WheelGuard::guardControl(QWidget *control)
{
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto *control = qobject_cast<QWidget *>(watched);
    if (!control || control->hasFocus())
        return false;
    // Hand the wheel to the page that holds the control, so it scrolls as over empty space.
    for (QWidget *w = control->parentWidget(); w; w = w->parentWidget()) {
        if (auto *area = qobject_cast<QAbstractScrollArea *>(w)) {
            QApplication::sendEvent(area->verticalScrollBar(), event);
            return true;
        }
    }
    return true;
}
