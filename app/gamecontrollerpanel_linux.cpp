#include "gamecontrollerpanel.h"

#include "applog.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// Joystick test tools, in order of preference, looked up on the PATH.
const char *const kTools[] = {"jstest-gtk", "antimicrox"};

class LinuxGameControllerPanel : public GameControllerPanel
{
public:
    LinuxGameControllerPanel()
    {
        for (const char *tool : kTools) {
            m_program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
            if (!m_program.isEmpty())
                break;
        }
    }

    bool isAvailable() const override { return !m_program.isEmpty(); }
    QString program() const override { return m_program; }

    bool open() override
    {
        if (m_program.isEmpty())
            return false;
        const bool started = QProcess::startDetached(m_program, {});
        if (!started)
            qCWarning(lcApp) << "Could not start" << m_program;
        return started;
    }

private:
    QString m_program;
};

} // namespace

std::unique_ptr<GameControllerPanel> GameControllerPanel::create()
{
    return std::make_unique<LinuxGameControllerPanel>();
}
