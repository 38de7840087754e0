#pragma once
// A pseudo-terminal pair: the program under test (or the configurator) opens the slave path
// like a serial port, the owner reads and writes the master. Shared by the simulated base and
// the tests, so the set-up is written once.

#include <QString>

class PseudoTerminal
{
public:
    enum Option {
        NoOptions = 0,
        NonBlocking = 1, // the master does not block on read or write
        RawSlave = 2, // the line is made raw once (the setting outlives this open)
    };

    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens a new pair (closing a previous one). False on failure; error then says why.
    // options: Option flags, or-ed.
    bool open(int options, QString *error = nullptr);
    void close();

    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    // Hands the master over to the caller, who closes it; this object is closed then.
    int releaseMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};
