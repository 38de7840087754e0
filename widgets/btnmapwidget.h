#pragma once

#include <QFrame>

class DataPacket;

namespace Ui {
class BtnMapWidget;
}

// One tile of the button map: logical button n is fed by the physical button typed into (or
// pressed on the grip while focusing) its field, optionally inverted and/or as a toggle. The
// number's ring turns red while the base reports logical button n pressed; the field turns
// red while the physical button it shows is held.
class BtnMapWidget : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(
        unsigned physicalButton READ physicalButton WRITE setPhysicalButton NOTIFY valueChanged)
    Q_PROPERTY(bool invert READ isInvert WRITE setInvert NOTIFY invertChanged)
    Q_PROPERTY(bool toggle READ isToggle WRITE setToggle NOTIFY toggleChanged)

public:
    // Physical buttons are 1..64 and hat directions 128..191; the field takes any byte.
    static constexpr unsigned kMaxPhysicalButton = 255;

    explicit BtnMapWidget(int logicalId, QWidget *parent = nullptr);
    BtnMapWidget(int logicalId, DataPacket *telemetry, QWidget *parent = nullptr);
    ~BtnMapWidget() override;

    // Follows the physical and logical button events of telemetry (null stops following).
    void setTelemetry(DataPacket *telemetry);

    int logicalId() const { return m_logicalId; }
    // The field's text as an unsigned number; empty or unreadable text is 0.
    unsigned physicalButton() const;
    bool isInvert() const;
    bool isToggle() const;
    // True while the base reports this tile's logical button pressed.
    bool isLogicalPressed() const { return m_logicalPressed; }
    // True while the physical button shown is held.
    bool isPhysicalPressed() const { return m_physicalPressed; }

public Q_SLOTS:
    // Shows v in decimal (0 shows "0"); a number longer than typing allows is shown whole.
    void setPhysicalButton(unsigned v);
    // The field becomes the tile's own logical number.
    void resetToIdentity();
    void setInvert(bool invert);
    void setToggle(bool toggle);

Q_SIGNALS:
    void valueChanged(int val);
    void invertChanged(int val);
    void toggleChanged(int val);

private:
    void onButtonPressed(int button);
    void onButtonReleased(int button);
    void onLogicalButtonPressed(int button);
    void onLogicalButtonReleased(int button);

    Ui::BtnMapWidget *ui;
    int m_logicalId;
    DataPacket *m_telemetry = nullptr;
    bool m_logicalPressed = false;
    bool m_physicalPressed = false;
};
