#include "hatindicator.h"

#include "datapacket.h"
#include "framepacer.h"

namespace {

const char *const kInitialStyle = "QLabel {border: 1px solid #aaa; border-radius:20px;"
                                  "font-size:30px; padding-bottom:5px; font-family: Noto Sans "
                                  "Symbols; }";
const char *const kCentredStyle = "QLabel {border: 1px solid #aaa; border-radius:20px;"
                                  "font-size:30px; color: rgba(0,0,0,0.5); padding-bottom:5px; "
                                  "font-family: Noto Sans Symbols; font-weight: 900;}";
const char *const kPushedStyle = "QLabel {border: 1px solid #a00; border-radius:20px;"
                                 "font-size:20px; color: red; padding-bottom:5px; font-family: "
                                 "Noto Sans Symbols;}";

// Up, up-right, right, down-right, down, down-left, left, up-left.
constexpr char32_t kArrows[8]
    = {0x1F879, 0x1F87D, 0x1F87A, 0x1F87E, 0x1F87B, 0x1F87F, 0x1F878, 0x1F87C};

} // namespace

HatIndicator::HatIndicator(int hat, DataPacket *data, FramePacer *pacer)
    : m_hat(hat)
    , m_pacer(pacer)
{
    setAlignment(Qt::AlignCenter);
    setMinimumSize(40, 40);
    setMaximumSize(40, 40);
    setToolTip(QStringLiteral("Joystick Hat indicator"));
    setStyleSheet(QLatin1String(kInitialStyle));
    setText(numberGlyph(m_hat));
    if (data)
        connect(
            data, &DataPacket::hatsChanged, this, [this](uint32_t hats) { onHatsChanged(hats); });
    if (m_pacer)
        connect(m_pacer, &FramePacer::frame, this, [this] { showHats(m_latest); });
}

QString HatIndicator::numberGlyph(int hat)
{
    return QString(QChar(char16_t(0x2776 + (hat & 3))));
}

QString HatIndicator::directionGlyph(int direction)
{
    const char32_t code = kArrows[direction & 7];
    return QString::fromUcs4(&code, 1);
}

void HatIndicator::onHatsChanged(uint32_t hats)
{
    m_latest = hats;
    if (m_pacer)
        m_pacer->request();
    else
        showHats(hats);
}

void HatIndicator::showHats(uint32_t hats)
{
    const int direction = DataPacket::hatDirection(hats, m_hat);
    const bool pushed = direction >= 0;
    // A style sheet re-polishes the widget: only switch it when the state changes.
    if (!m_styled || pushed != m_pushed)
        setStyleSheet(QLatin1String(pushed ? kPushedStyle : kCentredStyle));
    m_styled = true;
    m_pushed = pushed;
    setText(pushed ? directionGlyph(direction) : numberGlyph(m_hat));
}
