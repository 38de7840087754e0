#pragma once
// Progress of the endpoint's force calibration sweep: the step it is on, a bar, a Cancel
// button that stops the sweep before its next setting, and the two fits when it is done.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class TavikComm;

class CalibrationSweepDialog : public QDialog
{
    Q_OBJECT

public:
    CalibrationSweepDialog(TavikComm *comm, QWidget *parent = nullptr);

    // Shows the dialog and runs the sweep; returns when it ended (done or cancelled).
    void run();

    QString stepText() const;
    QString resultText() const;
    QProgressBar *progressBar() const { return m_bar; }
    QPushButton *button() const { return m_button; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void onProgress(int step, int steps, const QString &description);
    void onFitted(QChar axis, double slope, double intercept);
    void onFinished(bool completed);
    void onButton();

    TavikComm *m_comm;
    QLabel *m_step = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_result = nullptr;
    QPushButton *m_button = nullptr;
    QStringList m_fits;
    bool m_running = false;
};
