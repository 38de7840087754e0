#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (logout, `systemctl --user stop`, Ctrl+C, a closed
// terminal) into a Qt signal delivered on the thread that owns the object, so a program can
// end through its event loop and do its usual clean-up. The handler itself only writes one
// byte to a pipe; everything else runs in the event loop.
//
// One object per process; install it after any library that installs handlers of its own
// (the joystick library does), because the last handler installed wins.

#include <QObject>

#include <memory>

class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the handlers could not be installed (the program then still runs, but a
    // signal ends it at once the default way).
    bool isActive() const;

    // "SIGTERM", "SIGINT", "SIGHUP", else the number.
    static QString signalName(int signalNumber);

Q_SIGNALS:
    // Once per signal received.
    void received(int signalNumber);

private:
    class Backend;
    std::unique_ptr<Backend> m_backend;
};
