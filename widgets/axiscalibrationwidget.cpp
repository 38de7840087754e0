#include "axiscalibrationwidget.h"
#include "ui_axiscalibrationwidget.h"

#include "widgetslog.h"

#include <QSpinBox>

#include <algorithm>

AxisCalibrationWidget::AxisCalibrationWidget(QWidget *parent)
    : AxisCalibrationWidget(QStringLiteral("Calibration"), parent)
{
}

AxisCalibrationWidget::AxisCalibrationWidget(const QString &title, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AxisCalibrationWidget)
{
    ui->setupUi(this);
    ui->l_axis_name->setText(title);
    ui->b_center->hide();
    ui->b_reset->hide();

    connect(ui->brake_cal, &QPushButton::clicked, this, &AxisCalibrationWidget::onCalibrate);
    connect(ui->b_center, &QPushButton::clicked, this, &AxisCalibrationWidget::onCenter);
    connect(ui->b_reset, &QPushButton::clicked, this, &AxisCalibrationWidget::onReset);
    connect(ui->brake_min, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &AxisCalibrationWidget::minValueChanged);
    connect(ui->brake_max, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &AxisCalibrationWidget::maxValueChanged);
}

AxisCalibrationWidget::~AxisCalibrationWidget()
{
    delete ui;
}

QString AxisCalibrationWidget::title() const
{
    return ui->l_axis_name->text();
}

void AxisCalibrationWidget::setTitle(const QString &title)
{
    ui->l_axis_name->setText(title);
}

QSpinBox *AxisCalibrationWidget::minBox() const
{
    return ui->brake_min;
}

QSpinBox *AxisCalibrationWidget::maxBox() const
{
    return ui->brake_max;
}

int AxisCalibrationWidget::minValue() const
{
    return ui->brake_min->value();
}

int AxisCalibrationWidget::maxValue() const
{
    return ui->brake_max->value();
}

bool AxisCalibrationWidget::isCalibrating() const
{
    return ui->brake_cal->isChecked();
}

void AxisCalibrationWidget::setDefaults(uint16_t min, uint16_t max)
{
    m_defaultMin = min;
    m_defaultMax = max;
    ui->b_reset->show();
}

void AxisCalibrationWidget::setLimits(int lo, int hi)
{
    m_limitLo = lo;
    m_limitHi = hi;
    applyLimits(ui->brake_max, ui->brake_max->value());
    applyLimits(ui->brake_min, ui->brake_min->value());
}

void AxisCalibrationWidget::showCenterButton(bool show)
{
    ui->b_center->setVisible(show);
}

void AxisCalibrationWidget::applyLimits(QSpinBox *box, int keep)
{
    const int hi = std::max(m_limitHi, keep);
    const int lo = std::min(m_limitLo, keep);
    if (hi != m_limitHi || lo != m_limitLo)
        qCInfo(lcWidgets).noquote() << title() << box->objectName() << "shows" << keep
                                    << "outside its limits" << m_limitLo << ".." << m_limitHi;
    // Maximum first: the box never clamps the value it is about to show.
    box->setMaximum(hi);
    box->setMinimum(lo);
}

void AxisCalibrationWidget::showInBox(QSpinBox *box, int v)
{
    // Widen first so neither the old nor the new value is ever clamped, then narrow back to
    // the limits around the value now shown.
    box->setMaximum(std::max(box->maximum(), v));
    box->setMinimum(std::min(box->minimum(), v));
    box->setValue(v);
    applyLimits(box, v);
}

void AxisCalibrationWidget::_setValue(int v)
{
    m_raw = uint16_t(v);
    ui->l_axis_val->setText(QString::number(v));
    if (!ui->brake_cal->isChecked())
        return;
    if (v < ui->brake_min->value())
        ui->brake_min->setValue(v);
    if (v > ui->brake_max->value())
        ui->brake_max->setValue(v);
}

void AxisCalibrationWidget::_setMinValue(int v)
{
    showInBox(ui->brake_min, v);
}

void AxisCalibrationWidget::_setMaxValue(int v)
{
    showInBox(ui->brake_max, v);
}

void AxisCalibrationWidget::onCalibrate(bool checked)
{
    // The sweep that follows learns the range from scratch.
    if (!checked)
        return;
    ui->brake_max->setValue(m_raw);
    ui->brake_min->setValue(m_raw);
}

void AxisCalibrationWidget::onCenter()
{
    const int min = ui->brake_min->value();
    const int max = ui->brake_max->value();
    const int offset = int(m_raw) - (min + max) / 2;
    qCDebug(lcWidgets).noquote() << title() << "centre offset" << offset;
    ui->brake_max->setValue(max + offset);
    ui->brake_min->setValue(min + offset);
}

void AxisCalibrationWidget::onReset()
{
    ui->brake_min->setValue(m_defaultMin);
    ui->brake_max->setValue(m_defaultMax);
}
