#pragma once

#include <SDL.h>

#include <QString>

// A joystick made with the joystick library's virtual driver. Attaching it queues the
// device-added event; state changes become events when the library next samples them.
class VirtualStick
{
public:
    VirtualStick(const QString &name, int buttons, int hats, uint16_t productId = 0x1001);
    ~VirtualStick();
    VirtualStick(const VirtualStick &) = delete;
    VirtualStick &operator=(const VirtualStick &) = delete;

    bool isValid() const { return m_joystick != nullptr; }
    SDL_JoystickID instanceId() const { return m_instance; }
    SDL_JoystickGUID guid() const { return m_guid; }
    QString name() const { return m_name; }

    void setButton(int button, bool pressed);
    void setHat(int hat, uint8_t value);
    // Unplugs it (device-removed event); the destructor does so too.
    void detach();

private:
    QString m_name;
    SDL_Joystick *m_joystick = nullptr;
    SDL_JoystickID m_instance = -1;
    SDL_JoystickGUID m_guid {};
};
