#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

#include <QLabel>

// Writes a changing integer property into a label as "%04d". Connect the property's notify
// signal to the valueChanged slot matching its type.
class SignalLabelBinding : public QObject
{
    Q_OBJECT

public:
    SignalLabelBinding(const QString &propertyName, QLabel *label);

    QString propertyName() const { return m_propertyName; }
    QLabel *label() const { return m_label; }

public Q_SLOTS:
    void valueChanged(int value);
    void valueChanged(int16_t value);
    void valueChanged(uint16_t value);

protected:
    virtual void showValue(int value);

private:
    QString m_propertyName;
    // Guarded: the bindings outlive the window whose labels they write.
    QPointer<QLabel> m_label;
};
