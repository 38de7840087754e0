#pragma once
// The Debug tab's tools: the timestamped device messages (bounded, following the end unless
// the user scrolled up), the crash-log menu, the command line, Reset Motors, Test Fans, Log
// Data and the endpoint's calibration sweep.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>

#include <functional>

#include "calibrationsweepdialog.h"
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTextBrowser;
class TavikComm;

class DebugConsole : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 10000;
    // Within this many units of the bottom the view follows new text.
    static constexpr int kFollowMargin = 4;
    static constexpr int kReadWwPauseMs = 20;
    // Object names of the boxes this console raises (tests answer them by name).
    static constexpr const char *kSweepQuestionName = "tavik_sweep_question";

    struct Widgets
    {
        QTextBrowser *text = nullptr;
        QLineEdit *cmdline = nullptr;
        QPushButton *resetMotors = nullptr;
        QPushButton *testFans = nullptr;
        QPushButton *logData = nullptr;
        QPushButton *forceSweep = nullptr;
        QStatusBar *statusBar = nullptr;
    };

    DebugConsole(const Widgets &widgets, TavikComm *comm, QObject *parent = nullptr);

    // The clock of the time stamps (tests fix it).
    void setClock(std::function<QTime()> clock) { m_clock = std::move(clock); }

    // The menu of the message view at a point: the standard entries and the crash-log ones.
    QMenu *createContextMenu(const QPoint &pos);

    CalibrationSweepDialog *sweepDialog() const { return m_sweepDialog; }

public Q_SLOTS:
    void appendDeviceText(const QString &text);
    // Runs one command line; returns when its requests are answered or timed out.
    void runCommand(const QString &line);
    // Asks, then runs the endpoint's calibration sweep with its progress dialog.
    void startForceSweep();

private:
    void showContextMenu(const QPoint &pos);
    void onLogDataToggled(bool checked);
    void pause(int ms);
    void showRows(const QByteArray &bytes);
    void flashFile(const QString &path);

    Widgets m_ui;
    TavikComm *m_comm;
    std::function<QTime()> m_clock;
    QPointer<CalibrationSweepDialog> m_sweepDialog;
    bool m_commandRunning = false;
};
