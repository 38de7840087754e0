#include "virtualstick.h"

#include <QByteArray>
#include <QtGlobal>

VirtualStick::VirtualStick(const QString &name, int buttons, int hats, uint16_t productId)
    : m_name(name)
{
    const QByteArray utf8 = name.toUtf8();
    SDL_VirtualJoystickDesc desc {};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_FLIGHT_STICK;
    desc.nbuttons = Uint16(buttons);
    desc.nhats = Uint16(hats);
    desc.vendor_id = 0x1234;
    desc.product_id = productId;
    desc.name = utf8.constData();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        qWarning("cannot attach virtual joystick: %s", SDL_GetError());
        return;
    }
    m_joystick = SDL_JoystickOpen(index);
    if (!m_joystick) {
        qWarning("cannot open virtual joystick: %s", SDL_GetError());
        return;
    }
    m_instance = SDL_JoystickInstanceID(m_joystick);
    m_guid = SDL_JoystickGetGUID(m_joystick);
}

VirtualStick::~VirtualStick()
{
    detach();
}

void VirtualStick::setButton(int button, bool pressed)
{
    if (m_joystick)
        SDL_JoystickSetVirtualButton(m_joystick, button, pressed ? SDL_PRESSED : SDL_RELEASED);
}

void VirtualStick::setHat(int hat, uint8_t value)
{
    if (m_joystick)
        SDL_JoystickSetVirtualHat(m_joystick, hat, value);
}

void VirtualStick::detach()
{
    if (!m_joystick)
        return;
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        if (SDL_JoystickGetDeviceInstanceID(index) == m_instance) {
            SDL_JoystickDetachVirtual(index);
            break;
        }
    }
    SDL_JoystickClose(m_joystick);
    m_joystick = nullptr;
}
