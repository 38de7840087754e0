#include "debugconsole.h"

#include "applog.h"
#include "calibrationsweepdialog.h"
#include "debugcommand.h"
#include "tavikcomm.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

namespace {

// A flash_ww file is a small text of SPI lines; anything larger is not one.
constexpr qint64 kMaxFlashFileSize = 4 * 1024 * 1024;

} // namespace

DebugConsole::DebugConsole(const Widgets &widgets, TavikComm *comm, QObject *parent)
    : QObject(parent)
    , m_ui(widgets)
    , m_comm(comm)
    , m_clock([] { return QTime::currentTime(); })
{
    QTextBrowser *text = m_ui.text;
    // A long session keeps the last lines only, and a read-only log needs no undo history.
    text->document()->setMaximumBlockCount(kMaxLines);
    text->document()->setUndoRedoEnabled(false);
    text->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(text, &QWidget::customContextMenuRequested, this, &DebugConsole::showContextMenu);

    connect(m_comm, &TavikComm::textDataReceived, this, &DebugConsole::appendDeviceText);

    if (m_ui.resetMotors)
        connect(m_ui.resetMotors, &QPushButton::clicked, m_comm, &TavikComm::resetMotors);
    if (m_ui.testFans)
        connect(m_ui.testFans, &QPushButton::clicked, m_comm, &TavikComm::setFanPower);
    if (m_ui.logData)
        connect(m_ui.logData, &QPushButton::toggled, this, &DebugConsole::onLogDataToggled);
    if (m_ui.forceSweep)
        connect(m_ui.forceSweep, &QPushButton::clicked, this, &DebugConsole::startForceSweep);
}

void DebugConsole::appendDeviceText(const QString &text)
{
    QTextBrowser *view = m_ui.text;
    QScrollBar *bar = view->verticalScrollBar();
    const int value = bar->value();
    const int followFrom = bar->maximum() - kFollowMargin;
    const QTextCursor saved = view->textCursor();

    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(
        QLatin1Char('[') + m_clock().toString(Qt::ISODateWithMs) + QStringLiteral("] ") + text);

    view->setTextCursor(saved);
    if (value < followFrom) {
        // Scrolled up: the user is reading; keep the place.
        bar->setValue(value);
    } else {
        QTextCursor end = view->textCursor();
        end.movePosition(QTextCursor::End);
        view->setTextCursor(end);
        view->ensureCursorVisible();
        bar->setValue(bar->maximum());
    }
}

QMenu *DebugConsole::createContextMenu(const QPoint &pos)
{
    QMenu *menu = m_ui.text->createStandardContextMenu(pos);
    QAction *print = menu->addAction(QStringLiteral("Print Crash Log"));
    QAction *erase = menu->addAction(QStringLiteral("Erase Crash Log"));
    connect(print, &QAction::triggered, m_comm,
        [this] { m_comm->sendPacket(QByteArray(1, char(wire::MsgPrintCrashLog))); });
    connect(erase, &QAction::triggered, m_comm,
        [this] { m_comm->sendPacket(QByteArray(1, char(wire::MsgEraseCrashLog))); });
    return menu;
}

void DebugConsole::showContextMenu(const QPoint &pos)
{
    QMenu *menu = createContextMenu(pos);
    menu->exec(m_ui.text->mapToGlobal(pos));
    delete menu;
}

void DebugConsole::onLogDataToggled(bool checked)
{
    const QString path = QFileInfo(m_comm->sampleFileName()).absoluteFilePath();
    if (checked) {
        m_comm->startSampling();
        if (m_ui.statusBar)
            m_ui.statusBar->showMessage(m_comm->isSampleFileOpen()
                    ? QStringLiteral("Logging data to %1").arg(path)
                    : QStringLiteral("Cannot write %1: samples are not logged").arg(path));
    } else {
        m_comm->stopSampling();
        if (m_ui.statusBar)
            m_ui.statusBar->showMessage(QStringLiteral("Data log written to %1").arg(path), 5000);
    }
}

void DebugConsole::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void DebugConsole::showRows(const QByteArray &bytes)
{
    const QStringList rows = DebugCommand::hexRows(bytes);
    for (const QString &row : rows)
        appendDeviceText(row);
}

void DebugConsole::runCommand(const QString &line)
{
    if (m_commandRunning) {
        // The requests of the last command are still waiting for their replies.
        appendDeviceText(QStringLiteral("Busy: the previous command is still running\n"));
        return;
    }
    const DebugCommand command = DebugCommand::parse(line);
    if (command.kind() == DebugCommand::None)
        return;
    if (command.kind() == DebugCommand::Invalid) {
        appendDeviceText(command.error() + QLatin1Char('\n'));
        return;
    }
    m_commandRunning = true;
    switch (command.kind()) {
    case DebugCommand::SpiRead: {
        appendDeviceText(QString::asprintf("SPI Read len:%d\n", command.length()));
        const QByteArray reply = m_comm->spiRead(command.length(), 3);
        qCDebug(lcApp) << "SPI read reply" << reply.toHex(' ');
        showRows(reply.mid(1));
        break;
    }
    case DebugCommand::SpiReadWrite:
        m_comm->spiTransfer(command.length(), command.data());
        break;
    case DebugCommand::ReadWw: {
        m_comm->spiTransfer(17, command.data());
        pause(kReadWwPauseMs);
        const QByteArray reply = m_comm->spiRead(16, 3);
        qCDebug(lcApp) << "read_ww reply" << reply.toHex(' ');
        showRows(DebugCommand::readWwBytes(reply));
        break;
    }
    case DebugCommand::FlashWw:
        flashFile(command.path());
        break;
    case DebugCommand::SpiWr:
        qDebug("spi_wr");
        break;
    default:
        break;
    }
    m_commandRunning = false;
}

void DebugConsole::flashFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        appendDeviceText(
            QStringLiteral("flash_ww: cannot open %1: %2\n").arg(path, file.errorString()));
        return;
    }
    if (file.size() > kMaxFlashFileSize) {
        appendDeviceText(QStringLiteral("flash_ww: %1 is too large (%2 bytes): nothing sent\n")
                             .arg(path)
                             .arg(file.size()));
        return;
    }
    const QByteArray content = file.readAll();
    file.close();
    QString error;
    const QList<QByteArray> lines = DebugCommand::flashLines(content, &error);
    if (!error.isEmpty()) {
        appendDeviceText(QStringLiteral("flash_ww: %1: %2\n").arg(path, error));
        return;
    }
    for (const QByteArray &line : lines) {
        appendDeviceText(QString::fromLocal8Bit(line));
        m_comm->spiTransfer(17, line);
    }
}

void DebugConsole::startForceSweep()
{
    if (m_comm->isCalibrating()) {
        if (m_sweepDialog)
            m_sweepDialog->raise();
        return;
    }
    QWidget *parentWidget = m_ui.text->window();
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Force calibration sweep"),
        QStringLiteral("The base will now move the stick by itself for about 43 seconds, "
                       "first along Y, then along X, and measure the force at each "
                       "position.\n\nLet go of the stick and keep the area around it clear. "
                       "The sweep can be cancelled at any time.\n\nStart the sweep?"),
        QMessageBox::Yes | QMessageBox::Cancel, parentWidget);
    question.setObjectName(QLatin1String(kSweepQuestionName));
    question.setDefaultButton(QMessageBox::Cancel);
    if (question.exec() != QMessageBox::Yes)
        return;
    if (!m_comm->isConnected()) {
        appendDeviceText(QStringLiteral("Force calibration sweep: the base is not connected\n"));
        return;
    }
    if (!m_sweepDialog)
        m_sweepDialog = new CalibrationSweepDialog(m_comm, parentWidget);
    m_sweepDialog->run();
}
