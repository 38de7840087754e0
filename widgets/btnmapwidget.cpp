#include "btnmapwidget.h"
#include "ui_btnmapwidget.h"

#include "buttonnumbervalidator.h"
#include "datapacket.h"

namespace {

const QString kIdleStyle = QStringLiteral("QLabel { border: 3px solid #ccc; border-radius:15px; }");
const QString kActiveStyle
    = QStringLiteral("QLabel { border: 3px solid red; border-radius:15px; color: red; }");
const QString kPressedFieldStyle = QStringLiteral("background-color: red;");

} // namespace

BtnMapWidget::BtnMapWidget(int logicalId, QWidget *parent)
    : BtnMapWidget(logicalId, nullptr, parent)
{
}

BtnMapWidget::BtnMapWidget(int logicalId, DataPacket *telemetry, QWidget *parent)
    : QFrame(parent)
    , ui(new Ui::BtnMapWidget)
    , m_logicalId(logicalId)
{
    ui->setupUi(this);
    ui->line_btnid->setValidator(new ButtonNumberValidator(kMaxPhysicalButton, this));
    ui->l_btnid->setText(QString::number(m_logicalId));
    ui->l_btnid->setStyleSheet(kIdleStyle);

    connect(ui->line_btnid, &QLineEdit::textChanged, this,
        [this] { Q_EMIT valueChanged(int(physicalButton())); });
    connect(ui->cb_invert, &QPushButton::toggled, this,
        [this](bool checked) { Q_EMIT invertChanged(checked ? 1 : 0); });
    connect(ui->cb_toggle, &QPushButton::toggled, this,
        [this](bool checked) { Q_EMIT toggleChanged(checked ? 1 : 0); });
    setTelemetry(telemetry);
}

BtnMapWidget::~BtnMapWidget()
{
    delete ui;
}

void BtnMapWidget::setTelemetry(DataPacket *telemetry)
{
    if (m_telemetry == telemetry)
        return;
    if (m_telemetry)
        disconnect(m_telemetry, nullptr, this, nullptr);
    m_telemetry = telemetry;
    if (!m_telemetry)
        return;
    connect(m_telemetry, &DataPacket::buttonPressed, this, &BtnMapWidget::onButtonPressed);
    connect(m_telemetry, &DataPacket::buttonReleased, this, &BtnMapWidget::onButtonReleased);
    connect(m_telemetry, &DataPacket::logicalButtonPressed, this,
        &BtnMapWidget::onLogicalButtonPressed);
    connect(m_telemetry, &DataPacket::logicalButtonReleased, this,
        &BtnMapWidget::onLogicalButtonReleased);
}

unsigned BtnMapWidget::physicalButton() const
{
    bool ok = false;
    const unsigned v = ui->line_btnid->text().toUInt(&ok);
    return ok ? v : 0;
}

bool BtnMapWidget::isInvert() const
{
    return ui->cb_invert->isChecked();
}

bool BtnMapWidget::isToggle() const
{
    return ui->cb_toggle->isChecked();
}

void BtnMapWidget::setPhysicalButton(unsigned v)
{
    const QString text = QString::number(v);
    if (text.size() > ui->line_btnid->maxLength())
        ui->line_btnid->setMaxLength(text.size());
    ui->line_btnid->setText(text);
}

void BtnMapWidget::resetToIdentity()
{
    setPhysicalButton(unsigned(m_logicalId));
}

void BtnMapWidget::setInvert(bool invert)
{
    ui->cb_invert->setChecked(invert);
}

void BtnMapWidget::setToggle(bool toggle)
{
    ui->cb_toggle->setChecked(toggle);
}

void BtnMapWidget::onButtonPressed(int button)
{
    if (button < 0)
        return;
    if (ui->line_btnid->hasFocus())
        setPhysicalButton(unsigned(button));
    if (!ui->line_btnid->text().isEmpty() && physicalButton() == unsigned(button)) {
        m_physicalPressed = true;
        ui->line_btnid->setStyleSheet(kPressedFieldStyle);
    }
}

void BtnMapWidget::onButtonReleased(int button)
{
    if (button >= 0 && !ui->line_btnid->text().isEmpty() && physicalButton() == unsigned(button)) {
        m_physicalPressed = false;
        ui->line_btnid->setStyleSheet(QString());
    }
}

void BtnMapWidget::onLogicalButtonPressed(int button)
{
    if (button != m_logicalId)
        return;
    m_logicalPressed = true;
    ui->l_btnid->setStyleSheet(kActiveStyle);
}

void BtnMapWidget::onLogicalButtonReleased(int button)
{
    if (button != m_logicalId)
        return;
    m_logicalPressed = false;
    ui->l_btnid->setStyleSheet(kIdleStyle);
}
