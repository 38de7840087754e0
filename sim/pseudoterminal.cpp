#include "pseudoterminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString lastError(const char *what)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(int options, QString *error)
{
    close();
    int flags = O_RDWR | O_NOCTTY;
    if (options & NonBlocking)
        flags |= O_NONBLOCK;
    const int master = posix_openpt(flags);
    if (master < 0) {
        if (error)
            *error = lastError("posix_openpt failed");
        return false;
    }
    char name[256] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0
        || ptsname_r(master, name, sizeof name) != 0) {
        if (error)
            *error = lastError("cannot prepare the pty");
        ::close(master);
        return false;
    }
    if (options & RawSlave) {
        // Closing the slave again leaves the master reporting a hang-up until someone opens it.
        const int slave = ::open(name, O_RDWR | O_NOCTTY);
        if (slave < 0) {
            if (error)
                *error = lastError("cannot open the pty slave");
            ::close(master);
            return false;
        }
        termios tio {};
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
    }
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PseudoTerminal::close()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_slavePath.clear();
}

int PseudoTerminal::releaseMaster()
{
    const int master = m_master;
    m_master = -1;
    m_slavePath.clear();
    return master;
}
