#pragma once
// A round 40 x 40 label showing one hat switch of the grip: its number while centred, a red
// arrow in the pushed direction otherwise. A hat field of 8..15 counts as centred (see
// DataPacket::hatDirection).

#include <QLabel>

#include <cstdint>

class DataPacket;
class FramePacer;

class HatIndicator : public QLabel
{
public:
    // Follows data's hatsChanged (its real uint32_t signal); with a pacer the label changes at
    // the pacer's frames, showing the latest hat word.
    explicit HatIndicator(int hat, DataPacket *data = nullptr, FramePacer *pacer = nullptr);

    int hat() const { return m_hat; }
    // Shows a hat word at once.
    void showHats(uint32_t hats);
    bool isPushed() const { return m_pushed; }

    static QString numberGlyph(int hat);
    static QString directionGlyph(int direction);

private:
    void onHatsChanged(uint32_t hats);

    int m_hat;
    FramePacer *m_pacer;
    uint32_t m_latest = 0;
    bool m_pushed = false;
    bool m_styled = false;
};
