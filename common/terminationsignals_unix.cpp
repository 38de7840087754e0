// POSIX implementation: sigaction handlers and a self-pipe watched by a QSocketNotifier.

#include "terminationsignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSignals, "tavik.signals")

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop. A process has one set of handlers, so
// one pipe.
int s_pipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int saved = errno;
    // Only async-signal-safe work here. A full pipe loses the byte, which is harmless: the
    // program is ending already.
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const ssize_t ignored = ::write(s_pipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

} // namespace

class TerminationSignals::Backend
{
public:
    explicit Backend(TerminationSignals *owner)
    {
        if (s_pipe[0] >= 0) {
            qCWarning(lcSignals) << "termination signals are already watched";
            return;
        }
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            qCWarning(lcSignals) << "cannot create the signal pipe:" << strerror(errno);
            s_pipe[0] = s_pipe[1] = -1;
            return;
        }
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            if (::sigaction(kSignals[i], &action, &m_previous[i]) != 0) {
                qCWarning(lcSignals) << "cannot handle" << signalName(kSignals[i]);
                continue;
            }
            m_installed[i] = true;
        }
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, owner, [owner] {
            unsigned char bytes[16];
            ssize_t n;
            while ((n = ::read(s_pipe[0], bytes, sizeof bytes)) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    qCInfo(lcSignals).noquote()
                        << "Received" << signalName(bytes[i]) << "- ending cleanly";
                    Q_EMIT owner->received(bytes[i]);
                }
            }
        });
        m_active = true;
    }

    ~Backend()
    {
        if (!m_active)
            return;
        m_notifier.reset();
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            if (m_installed[i])
                ::sigaction(kSignals[i], &m_previous[i], nullptr);
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
        s_pipe[0] = s_pipe[1] = -1;
    }

    bool m_active = false;

private:
    std::array<struct sigaction, kSignals.size()> m_previous {};
    std::array<bool, kSignals.size()> m_installed {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
    , m_backend(std::make_unique<Backend>(this))
{
}

TerminationSignals::~TerminationSignals() = default;

bool TerminationSignals::isActive() const
{
    return m_backend->m_active;
}

QString TerminationSignals::signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signalNumber);
    }
}
