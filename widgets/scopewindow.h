#pragma once
// The Scope's own window, opened from the Debug tab.

#include <QWidget>

class ScopePanel;
class TelemetryRecorder;

class ScopeWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ScopeWindow(TelemetryRecorder *recorder, QWidget *parent = nullptr);

    ScopePanel *panel() const { return m_panel; }
    QSize sizeHint() const override { return {1100, 640}; }

private:
    ScopePanel *m_panel;
};
