#pragma once

#include <SDL.h>

#include <QThread>

#include <atomic>
#include <functional>

// Waits for joystick-library events and hands each one to a callback (which emits a queued
// signal to the GUI thread). It never touches the window's state. The wait has a timeout so
// that stop() can end the loop; the destructor stops and joins.
class SdlEventThread : public QThread
{
    Q_OBJECT

public:
    using Handler = std::function<void(const SDL_Event &)>;

    explicit SdlEventThread(Handler handler, QObject *parent = nullptr);
    ~SdlEventThread() override;

    // Ends the loop and waits for the thread; no handler call happens after it returns.
    void stop();

protected:
    void run() override;

private:
    Handler m_handler;
    std::atomic<bool> m_stop {false};
};
