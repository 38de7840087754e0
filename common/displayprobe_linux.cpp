// Linux implementation: connects to the X server's or Wayland compositor's socket the way
// their client libraries would, and closes it again at once.

#include "displayprobe.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDisplay, "tavik.display", QtInfoMsg)

namespace {

// A remote X server behind a dead connection must not hold up a script for long.
constexpr int kTcpConnectTimeoutMs = 2000;
constexpr int kX11TcpPortBase = 6000;

bool connectUnix(const QByteArray &path, bool abstract)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const int offset = abstract ? 1 : 0;
    if (path.isEmpty() || path.size() + offset >= int(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path + offset, path.constData(), size_t(path.size()));
    const socklen_t length
        = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    ::close(fd);
    return ok;
}

bool connectTcp(const QByteArray &host, int port)
{
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (addrinfo *a = found; a && !ok; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            ok = true;
        } else if (errno == EINPROGRESS) {
            pollfd p = {fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            ok = ::poll(&p, 1, kTcpConnectTimeoutMs) == 1
                && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return ok;
}

// DISPLAY is "[host]:number[.screen]"; no host (or "unix") means the local socket.
bool x11Reachable()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    if (display.isEmpty() || colon < 0)
        return false;
    const QByteArray host = display.left(colon);
    QByteArray number = display.mid(colon + 1);
    const int dot = number.indexOf('.');
    if (dot >= 0)
        number.truncate(dot);
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 0 || n > 65535 - kX11TcpPortBase)
        return false;
    if (host.isEmpty() || host == "unix") {
        const QByteArray path = "/tmp/.X11-unix/X" + number;
        return connectUnix(path, true) || connectUnix(path, false);
    }
    return connectTcp(host, kX11TcpPortBase + n);
}

bool waylandReachable()
{
    QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty())
        name = "wayland-0";
    if (name.startsWith('/'))
        return connectUnix(name, false);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && connectUnix(runtime + '/' + name, false);
}

QByteArray platformName(int argc, char **argv)
{
    QByteArray name;
    for (int i = 1; argv && i + 1 < argc; ++i)
        if (argv[i] && argv[i + 1] && std::strcmp(argv[i], "-platform") == 0)
            name = argv[i + 1];
    if (name.isEmpty())
        name = qgetenv("QT_QPA_PLATFORM");
    // "xcb:option=value;wayland": the first plugin named, without its options.
    const int end = name.indexOf(';');
    if (end >= 0)
        name.truncate(end);
    const int colon = name.indexOf(':');
    if (colon >= 0)
        name.truncate(colon);
    return name.trimmed();
}

} // namespace

namespace DisplayProbe {

Display detect(int argc, char **argv)
{
    const QByteArray platform = platformName(argc, argv);
    Display result;
    if (platform == "offscreen" || platform == "minimal")
        result = Display::Virtual;
    else if (platform.startsWith("wayland"))
        result = waylandReachable() ? Display::Real : Display::None;
    else if (platform.isEmpty() || platform == "xcb")
        // Qt 5 uses xcb unless told otherwise, also in Wayland sessions (through XWayland).
        result = x11Reachable() ? Display::Real : Display::None;
    else
        // Framebuffer, VNC and the like need no server of ours to check.
        result = Display::Real;
    qCDebug(lcDisplay).noquote() << "Platform" << (platform.isEmpty() ? "(default)" : platform)
                                 << "display" << int(result);
    return result;
}

} // namespace DisplayProbe
