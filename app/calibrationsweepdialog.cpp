#include "calibrationsweepdialog.h"

#include "tavikcomm.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CalibrationSweepDialog::CalibrationSweepDialog(TavikComm *comm, QWidget *parent)
    : QDialog(parent)
    , m_comm(comm)
{
    setObjectName(QStringLiteral("calibration_sweep_dialog"));
    setWindowTitle(QStringLiteral("Force calibration sweep"));
    // Not modal: the window and the link stay live during the sweep, as in any nested wait.
    setWindowModality(Qt::NonModal);

    auto *layout = new QVBoxLayout(this);
    m_step = new QLabel(QStringLiteral("Starting"), this);
    m_step->setObjectName(QStringLiteral("label_sweep_step"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("prog_sweep"));
    m_bar->setRange(0, TavikComm::kCalibrationSteps);
    m_bar->setValue(0);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("label_sweep_result"));
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_button = new QPushButton(QStringLiteral("Cancel"), this);
    m_button->setObjectName(QStringLiteral("b_sweep_cancel"));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_button);
    layout->addWidget(m_step);
    layout->addWidget(m_bar);
    layout->addWidget(m_result);
    layout->addLayout(row);
    setMinimumWidth(360);

    connect(m_comm, &TavikComm::calibrationProgress, this, &CalibrationSweepDialog::onProgress);
    connect(m_comm, &TavikComm::calibrationFitted, this, &CalibrationSweepDialog::onFitted);
    connect(m_comm, &TavikComm::calibrationFinished, this, &CalibrationSweepDialog::onFinished);
    connect(m_button, &QPushButton::clicked, this, &CalibrationSweepDialog::onButton);
}

QString CalibrationSweepDialog::stepText() const
{
    return m_step->text();
}

QString CalibrationSweepDialog::resultText() const
{
    return m_result->text();
}

void CalibrationSweepDialog::run()
{
    if (m_running)
        return;
    m_fits.clear();
    m_result->clear();
    m_bar->setValue(0);
    m_step->setText(QStringLiteral("Starting"));
    m_button->setText(QStringLiteral("Cancel"));
    m_running = true;
    show();
    // Runs nested event loops until the sweep ends; the dialog stays live meanwhile.
    m_comm->startAutoCalibration();
}

void CalibrationSweepDialog::onProgress(int step, int steps, const QString &description)
{
    m_bar->setMaximum(steps);
    m_bar->setValue(step - 1);
    m_step->setText(QStringLiteral("Step %1 of %2: %3").arg(step).arg(steps).arg(description));
}

void CalibrationSweepDialog::onFitted(QChar axis, double slope, double intercept)
{
    m_fits.append(QStringLiteral("%1 axis fit: force = %2 x position + %3")
                      .arg(axis)
                      .arg(slope, 0, 'f', 6)
                      .arg(intercept, 0, 'f', 6));
    m_result->setText(m_fits.join(QLatin1Char('\n')));
}

void CalibrationSweepDialog::onFinished(bool completed)
{
    m_running = false;
    if (completed) {
        m_bar->setValue(m_bar->maximum());
        m_step->setText(QStringLiteral("Done"));
        if (m_fits.isEmpty())
            m_result->setText(QStringLiteral("No fit: the position did not change"));
    } else {
        m_step->setText(QStringLiteral("Cancelled: no further settings were sent"));
    }
    m_button->setText(QStringLiteral("Close"));
}

void CalibrationSweepDialog::onButton()
{
    if (m_running)
        m_comm->cancelAutoCalibration();
    else
        hide();
}

void CalibrationSweepDialog::reject()
{
    // Escape while sweeping cancels the sweep; the dialog stays to show that it stopped.
    if (m_running) {
        m_comm->cancelAutoCalibration();
        return;
    }
    QDialog::reject();
}

void CalibrationSweepDialog::closeEvent(QCloseEvent *event)
{
    if (m_running)
        m_comm->cancelAutoCalibration();
    QDialog::closeEvent(event);
}
