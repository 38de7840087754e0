#pragma once
// The operating system's game-controller settings, opened from the Settings tab. Each platform
// has its own implementation; on one without such a tool the button is hidden.

#include <QString>

#include <memory>

class GameControllerPanel
{
public:
    virtual ~GameControllerPanel() = default;
    // False when the platform has no tool to start.
    virtual bool isAvailable() const = 0;
    // Starts the tool detached; false when it could not be started.
    virtual bool open() = 0;
    // The program that open() starts (for diagnostics and tests).
    virtual QString program() const = 0;

    static std::unique_ptr<GameControllerPanel> create();
};
