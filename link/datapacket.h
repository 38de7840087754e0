#pragma once
// The latest telemetry of the base: one property per field of the type-1 message, each with
// a change signal that fires only on a change, plus press/release edges of the physical and
// logical buttons and of the four hats.

#include <QObject>

#include <cstdint>

class DataPacket : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int16_t x READ x WRITE set_x NOTIFY xChanged)
    Q_PROPERTY(int16_t y READ y WRITE set_y NOTIFY yChanged)
    Q_PROPERTY(int16_t dx READ dx WRITE set_dx NOTIFY dxChanged)
    Q_PROPERTY(int16_t dy READ dy WRITE set_dy NOTIFY dyChanged)
    Q_PROPERTY(int16_t d2x READ d2x WRITE set_d2x NOTIFY d2xChanged)
    Q_PROPERTY(int16_t d2y READ d2y WRITE set_d2y NOTIFY d2yChanged)
    Q_PROPERTY(int16_t fxout READ fxout WRITE set_fxout NOTIFY fxoutChanged)
    Q_PROPERTY(int16_t fyout READ fyout WRITE set_fyout NOTIFY fyoutChanged)
    Q_PROPERTY(uint16_t timestamp READ timestamp WRITE set_timestamp NOTIFY timestampChanged)
    Q_PROPERTY(int16_t raw_x READ raw_x WRITE set_raw_x NOTIFY raw_xChanged)
    Q_PROPERTY(int16_t raw_y READ raw_y WRITE set_raw_y NOTIFY raw_yChanged)
    Q_PROPERTY(uint16_t cycle_time READ cycle_time WRITE set_cycle_time NOTIFY cycle_timeChanged)
    Q_PROPERTY(uint16_t pot_1 READ pot_1 WRITE set_pot_1 NOTIFY pot_1Changed)
    Q_PROPERTY(uint16_t pot_2 READ pot_2 WRITE set_pot_2 NOTIFY pot_2Changed)
    Q_PROPERTY(int16_t curr_x READ curr_x WRITE set_curr_x NOTIFY curr_xChanged)
    Q_PROPERTY(int16_t curr_y READ curr_y WRITE set_curr_y NOTIFY curr_yChanged)
    Q_PROPERTY(int16_t temp_x READ temp_x WRITE set_temp_x NOTIFY temp_xChanged)
    Q_PROPERTY(int16_t temp_y READ temp_y WRITE set_temp_y NOTIFY temp_yChanged)
    Q_PROPERTY(int16_t Ibus READ Ibus WRITE set_Ibus NOTIFY IbusChanged)
    Q_PROPERTY(int16_t Vbus READ Vbus WRITE set_Vbus NOTIFY VbusChanged)
    Q_PROPERTY(uint32_t hats READ hats WRITE set_hats NOTIFY hatsChanged)
    Q_PROPERTY(uint8_t mot_fault READ mot_fault WRITE set_mot_fault NOTIFY mot_faultChanged)
    Q_PROPERTY(uint16_t aux_axis_1 READ aux_axis_1 WRITE set_aux_axis_1 NOTIFY aux_axis_1Changed)
    Q_PROPERTY(uint16_t aux_axis_2 READ aux_axis_2 WRITE set_aux_axis_2 NOTIFY aux_axis_2Changed)
    Q_PROPERTY(uint16_t aux_axis_3 READ aux_axis_3 WRITE set_aux_axis_3 NOTIFY aux_axis_3Changed)
    Q_PROPERTY(uint16_t aux_axis_4 READ aux_axis_4 WRITE set_aux_axis_4 NOTIFY aux_axis_4Changed)
    Q_PROPERTY(uint64_t buttons64 READ buttons64 WRITE set_buttons64 NOTIFY buttons64Changed)
    Q_PROPERTY(uint64_t buttons_logical64 READ buttons_logical64 WRITE set_buttons_logical64 NOTIFY
            buttons_logical64Changed)
    Q_PROPERTY(int16_t Z READ Z WRITE set_Z NOTIFY ZChanged)
    Q_PROPERTY(uint8_t Rz READ Rz WRITE set_Rz NOTIFY RzChanged)
    Q_PROPERTY(uint8_t Rx READ Rx WRITE set_Rx NOTIFY RxChanged)
    Q_PROPERTY(uint8_t Ry READ Ry WRITE set_Ry NOTIFY RyChanged)
    Q_PROPERTY(uint8_t Slider READ Slider WRITE set_Slider NOTIFY SliderChanged)

public:
    // Size of a full telemetry message, type byte included; shorter ones are zero-padded.
    static constexpr int MessageSize = 76;
    // Hat events use the physical button signals with identifiers 0x80 + 16 * hat + direction.
    static constexpr int HatButtonBase = 0x80;
    // Direction of hat (0..3) in a hat word: 0 = up, then 45° steps clockwise; -1 when the
    // hat is centred. One rule for the indicators and the edge events: a field with bit 3 set
    // (8..15) is centred, since 8..14 name no direction.
    static constexpr int hatDirection(uint32_t hats, int hat)
    {
        const uint32_t field = (hats >> (4 * (hat & 7))) & 0xFu;
        return (field & 0x8u) ? -1 : int(field);
    }

    explicit DataPacket(QObject *parent = nullptr);

    // Decodes one telemetry payload (type byte first) field by field through the setters, so
    // only changed fields signal. Reads at most 76 bytes and never past length; missing
    // fields are 0. No allocation, no meta-object lookups.
    void applyTelemetry(const uint8_t *data, int length);

    int16_t x() const { return m_x; }
    int16_t y() const { return m_y; }
    int16_t dx() const { return m_dx; }
    int16_t dy() const { return m_dy; }
    int16_t d2x() const { return m_d2x; }
    int16_t d2y() const { return m_d2y; }
    int16_t fxout() const { return m_fxout; }
    int16_t fyout() const { return m_fyout; }
    uint16_t timestamp() const { return m_timestamp; }
    int16_t raw_x() const { return m_raw_x; }
    int16_t raw_y() const { return m_raw_y; }
    uint16_t cycle_time() const { return m_cycle_time; }
    uint16_t pot_1() const { return m_pot_1; }
    uint16_t pot_2() const { return m_pot_2; }
    int16_t curr_x() const { return m_curr_x; }
    int16_t curr_y() const { return m_curr_y; }
    int16_t temp_x() const { return m_temp_x; }
    int16_t temp_y() const { return m_temp_y; }
    int16_t Ibus() const { return m_Ibus; }
    int16_t Vbus() const { return m_Vbus; }
    uint32_t hats() const { return m_hats; }
    uint8_t mot_fault() const { return m_mot_fault; }
    uint16_t aux_axis_1() const { return m_aux_axis_1; }
    uint16_t aux_axis_2() const { return m_aux_axis_2; }
    uint16_t aux_axis_3() const { return m_aux_axis_3; }
    uint16_t aux_axis_4() const { return m_aux_axis_4; }
    uint64_t buttons64() const { return m_buttons64; }
    uint64_t buttons_logical64() const { return m_buttons_logical64; }
    int16_t Z() const { return m_Z; }
    uint8_t Rz() const { return m_Rz; }
    uint8_t Rx() const { return m_Rx; }
    uint8_t Ry() const { return m_Ry; }
    uint8_t Slider() const { return m_Slider; }

public Q_SLOTS:
    void set_x(int16_t value);
    void set_y(int16_t value);
    void set_dx(int16_t value);
    void set_dy(int16_t value);
    void set_d2x(int16_t value);
    void set_d2y(int16_t value);
    void set_fxout(int16_t value);
    void set_fyout(int16_t value);
    void set_timestamp(uint16_t value);
    void set_raw_x(int16_t value);
    void set_raw_y(int16_t value);
    void set_cycle_time(uint16_t value);
    void set_pot_1(uint16_t value);
    void set_pot_2(uint16_t value);
    void set_curr_x(int16_t value);
    void set_curr_y(int16_t value);
    void set_temp_x(int16_t value);
    void set_temp_y(int16_t value);
    void set_Ibus(int16_t value);
    void set_Vbus(int16_t value);
    void set_hats(uint32_t value);
    void set_mot_fault(uint8_t value);
    void set_aux_axis_1(uint16_t value);
    void set_aux_axis_2(uint16_t value);
    void set_aux_axis_3(uint16_t value);
    void set_aux_axis_4(uint16_t value);
    void set_buttons64(uint64_t value);
    void set_buttons_logical64(uint64_t value);
    void set_Z(int16_t value);
    void set_Rz(uint8_t value);
    void set_Rx(uint8_t value);
    void set_Ry(uint8_t value);
    void set_Slider(uint8_t value);

Q_SIGNALS:
    void xChanged(int16_t x);
    void yChanged(int16_t y);
    void dxChanged(int16_t dx);
    void dyChanged(int16_t dy);
    void d2xChanged(int16_t d2x);
    void d2yChanged(int16_t d2y);
    void fxoutChanged(int16_t fxout);
    void fyoutChanged(int16_t fyout);
    void timestampChanged(uint16_t timestamp);
    void raw_xChanged(int16_t raw_x);
    void raw_yChanged(int16_t raw_y);
    void cycle_timeChanged(uint16_t cycle_time);
    void pot_1Changed(uint16_t pot_1);
    void pot_2Changed(uint16_t pot_2);
    void curr_xChanged(int16_t curr_x);
    void curr_yChanged(int16_t curr_y);
    void temp_xChanged(int16_t temp_x);
    void temp_yChanged(int16_t temp_y);
    void IbusChanged(int16_t Ibus);
    void VbusChanged(int16_t Vbus);
    void hatsChanged(uint32_t hats);
    void mot_faultChanged(uint8_t mot_fault);
    void aux_axis_1Changed(uint16_t aux_axis_1);
    void aux_axis_2Changed(uint16_t aux_axis_2);
    void aux_axis_3Changed(uint16_t aux_axis_3);
    void aux_axis_4Changed(uint16_t aux_axis_4);
    void buttons64Changed(uint64_t buttons64);
    void buttons_logical64Changed(uint64_t buttons_logical64);
    void ZChanged(int16_t Z);
    void RzChanged(uint8_t Rz);
    void RxChanged(uint8_t Rx);
    void RyChanged(uint8_t Ry);
    void SliderChanged(uint8_t Slider);
    void buttonPressed(int buttonId);
    void buttonReleased(int buttonId);
    void logicalButtonPressed(int buttonId);
    void logicalButtonReleased(int buttonId);

private:
    void onButtonsChanged(uint64_t value);
    void onLogicalButtonsChanged(uint64_t value);
    void onHatsChanged(uint32_t value);

    int16_t m_x = 0;
    int16_t m_y = 0;
    int16_t m_dx = 0;
    int16_t m_dy = 0;
    int16_t m_d2x = 0;
    int16_t m_d2y = 0;
    int16_t m_fxout = 0;
    int16_t m_fyout = 0;
    uint16_t m_timestamp = 0;
    int16_t m_raw_x = 0;
    int16_t m_raw_y = 0;
    uint16_t m_cycle_time = 0;
    uint16_t m_pot_1 = 0;
    uint16_t m_pot_2 = 0;
    int16_t m_curr_x = 0;
    int16_t m_curr_y = 0;
    int16_t m_temp_x = 0;
    int16_t m_temp_y = 0;
    int16_t m_Ibus = 0;
    int16_t m_Vbus = 0;
    uint32_t m_hats = 0;
    uint8_t m_mot_fault = 255;
    uint16_t m_aux_axis_1 = 0;
    uint16_t m_aux_axis_2 = 0;
    uint16_t m_aux_axis_3 = 0;
    uint16_t m_aux_axis_4 = 0;
    uint64_t m_buttons64 = 0;
    uint64_t m_buttons_logical64 = 0;
    int16_t m_Z = 0;
    uint8_t m_Rz = 0;
    uint8_t m_Rx = 0;
    uint8_t m_Ry = 0;
    uint8_t m_Slider = 0;

    uint64_t lastButtons = 0;
    uint64_t lastLogicalButtons = 0;
    uint32_t lastHats = 0;
};

// Every telemetry field: X(type, name, offset in the message).
#define TAVIK_TELEMETRY_FIELDS(X)                                                                  \
    X(int16_t, x, 1)                                                                               \
    X(int16_t, y, 3)                                                                               \
    X(int16_t, dx, 5)                                                                              \
    X(int16_t, dy, 7)                                                                              \
    X(int16_t, d2x, 9)                                                                             \
    X(int16_t, d2y, 11)                                                                            \
    X(int16_t, fxout, 13)                                                                          \
    X(int16_t, fyout, 15)                                                                          \
    X(uint16_t, timestamp, 17)                                                                     \
    X(int16_t, raw_x, 19)                                                                          \
    X(int16_t, raw_y, 21)                                                                          \
    X(uint16_t, cycle_time, 23)                                                                    \
    X(uint16_t, pot_1, 25)                                                                         \
    X(uint16_t, pot_2, 27)                                                                         \
    X(int16_t, curr_x, 29)                                                                         \
    X(int16_t, curr_y, 31)                                                                         \
    X(int16_t, temp_x, 33)                                                                         \
    X(int16_t, temp_y, 35)                                                                         \
    X(int16_t, Ibus, 37)                                                                           \
    X(int16_t, Vbus, 39)                                                                           \
    X(uint32_t, hats, 41)                                                                          \
    X(uint8_t, mot_fault, 45)                                                                      \
    X(uint16_t, aux_axis_1, 46)                                                                    \
    X(uint16_t, aux_axis_2, 48)                                                                    \
    X(uint16_t, aux_axis_3, 50)                                                                    \
    X(uint16_t, aux_axis_4, 52)                                                                    \
    X(uint64_t, buttons64, 54)                                                                     \
    X(uint64_t, buttons_logical64, 62)                                                             \
    X(int16_t, Z, 70)                                                                              \
    X(uint8_t, Rz, 72)                                                                             \
    X(uint8_t, Rx, 73)                                                                             \
    X(uint8_t, Ry, 74)                                                                             \
    X(uint8_t, Slider, 75)
