#include "sdleventthread.h"
#include "loopbacklog.h"

// Short enough that quitting feels immediate, long enough not to matter for CPU.
static constexpr int kWaitTimeoutMs = 100;

SdlEventThread::SdlEventThread(Handler handler, QObject *parent)
    : QThread(parent)
    , m_handler(std::move(handler))
{
    setObjectName(QStringLiteral("SdlEventThread"));
}

SdlEventThread::~SdlEventThread()
{
    stop();
}

void SdlEventThread::stop()
{
    m_stop = true;
    wait();
}

void SdlEventThread::run()
{
    while (!m_stop) {
        // Without the event subsystem the wait fails at once; end rather than spin.
        if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
            qCWarning(lcLoopback) << "joystick events unavailable, event thread ends";
            return;
        }
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, kWaitTimeoutMs) == 1 && !m_stop)
            m_handler(event);
    }
}
