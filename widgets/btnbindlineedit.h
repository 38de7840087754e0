#pragma once

#include <QLineEdit>

class DataPacket;

// A field holding one physical button number of the grip (0..255; hat directions are
// 128..191). While it has the focus, pressing a grip button writes that button's number into
// it; whenever the button it shows is held down it turns red. An empty text is the value 0.
class BtnBindLineEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(unsigned value READ value WRITE setValue NOTIFY valueChanged USER true)

public:
    explicit BtnBindLineEdit(QWidget *parent = nullptr);
    explicit BtnBindLineEdit(DataPacket *telemetry, QWidget *parent = nullptr);

    // Follows the button events of telemetry (null stops following).
    void setTelemetry(DataPacket *telemetry);

    // The text as an unsigned decimal number; empty or unreadable text is 0.
    unsigned value() const;
    // True while the button shown is reported held down.
    bool isPressed() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    // Shows v (0 as the empty text). A value longer than the typing limit is shown whole.
    void setValue(unsigned v);

Q_SIGNALS:
    void valueChanged(int value);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onButtonPressed(int button);
    void onButtonReleased(int button);
    void setPressed(bool pressed);

    DataPacket *m_telemetry = nullptr;
};
