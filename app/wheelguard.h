#pragma once
// Keeps the mouse wheel from changing a value by accident: over a spin box, slider or combo box
// that does not have the focus, the wheel scrolls the page instead. These values drive motors.

#include <QObject>

class QWidget;

class WheelGuard : public QObject
{
    Q_OBJECT

public:
    explicit WheelGuard(QObject *parent = nullptr);

    // Guards every spin box, slider and combo box under root (present now).
    void guard(QWidget *root);
    // Guards one control (and makes the wheel no reason to give it the focus).
    void guardControl(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
