#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

#include <QLabel>

class FramePacer;

// Writes a changing integer property into a label as "%04d". Connect the property's notify
// signal to the valueChanged slot matching its type.
class SignalLabelBinding : public QObject
{
    Q_OBJECT

public:
    SignalLabelBinding(const QString &propertyName, QLabel *label);

    QString propertyName() const { return m_propertyName; }
    QLabel *label() const { return m_label; }
    // With a pacer the label shows the latest value at the pacer's frames instead of at
    // every change (live telemetry arrives far faster than a screen can show).
    void setPacer(FramePacer *pacer);

public Q_SLOTS:
    void valueChanged(int value);
    void valueChanged(int16_t value);
    void valueChanged(uint16_t value);

protected:
    virtual void showValue(int value);
    // Shows value now, or at the next frame when paced.
    void present(int value);

private:
    FramePacer *m_pacer = nullptr;
    int m_pendingValue = 0;
    bool m_hasPending = false;
    QString m_propertyName;
    // Guarded: the bindings outlive the window whose labels they write.
    QPointer<QLabel> m_label;
};
