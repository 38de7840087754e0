#include "btnbindlineedit.h"

#include "buttonnumbervalidator.h"
#include "datapacket.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QStyle>

namespace {

constexpr unsigned kMaxButton = 255;
constexpr int kMaxLength = 4;
const char *const kPressedProperty = "pressed";

// Shows a number in a line edit whole, even when it is longer than what typing allows.
void showNumber(QLineEdit *edit, const QString &text)
{
    if (text.size() > edit->maxLength())
        edit->setMaxLength(text.size());
    edit->setText(text);
}

} // namespace

BtnBindLineEdit::BtnBindLineEdit(QWidget *parent)
    : BtnBindLineEdit(nullptr, parent)
{
}

BtnBindLineEdit::BtnBindLineEdit(DataPacket *telemetry, QWidget *parent)
    : QLineEdit(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setValidator(new ButtonNumberValidator(kMaxButton, this));
    setMaxLength(kMaxLength);
    setToolTip(QStringLiteral(
        "<b>Button Binding Field</b><p>Select this field and press a button on the Grip to "
        "bind.</p>"));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setClearButtonEnabled(true);
    addAction(QIcon(QStringLiteral(":/img/button.svg")), QLineEdit::LeadingPosition);
    setPlaceholderText(QStringLiteral("-"));
    setStyleSheet(QStringLiteral(
        "QLineEdit { font-size: 9pt; } QLineEdit:focus { background-color: rgb(255,255,100); } "
        "QLineEdit[pressed=true] {background-color: red; color: white; }"));
    setTextMargins(0, 0, 0, 0);
    setProperty(kPressedProperty, false);
    connect(this, &QLineEdit::textChanged, this, [this] { Q_EMIT valueChanged(int(value())); });
    setTelemetry(telemetry);
}

void BtnBindLineEdit::setTelemetry(DataPacket *telemetry)
{
    if (m_telemetry == telemetry)
        return;
    if (m_telemetry)
        disconnect(m_telemetry, nullptr, this, nullptr);
    m_telemetry = telemetry;
    if (!m_telemetry)
        return;
    connect(m_telemetry, &DataPacket::buttonPressed, this, &BtnBindLineEdit::onButtonPressed);
    connect(m_telemetry, &DataPacket::buttonReleased, this, &BtnBindLineEdit::onButtonReleased);
}

unsigned BtnBindLineEdit::value() const
{
    bool ok = false;
    const unsigned v = text().toUInt(&ok);
    return ok ? v : 0;
}

bool BtnBindLineEdit::isPressed() const
{
    return property(kPressedProperty).toBool();
}

void BtnBindLineEdit::setValue(unsigned v)
{
    if (v == 0 && !text().isEmpty())
        setText(QString());
    else if (v != 0)
        showNumber(this, QString::number(v));
}

void BtnBindLineEdit::onButtonPressed(int button)
{
    if (button < 0)
        return;
    if (hasFocus())
        showNumber(this, QString::number(button));
    if (!isEnabled())
        return;
    if (!text().isEmpty() && value() == unsigned(button))
        setPressed(true);
}

void BtnBindLineEdit::onButtonReleased(int button)
{
    if (button >= 0 && !text().isEmpty() && value() == unsigned(button))
        setPressed(false);
}

void BtnBindLineEdit::setPressed(bool pressed)
{
    setProperty(kPressedProperty, pressed);
    // The style sheet's [pressed=true] rule is only looked at again after a re-polish.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void BtnBindLineEdit::keyPressEvent(QKeyEvent *event)
{
    QLineEdit::keyPressEvent(event);
    if (event->matches(QKeySequence::Delete))
        clear();
}

QSize BtnBindLineEdit::sizeHint() const
{
    ensurePolished(); // the style sheet sets the font
    // Four digits, the leading icon and the clear button.
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const int width = 4 * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 2 * iconSize + 20;
    return QSize(width, QLineEdit::minimumSizeHint().height());
}

QSize BtnBindLineEdit::minimumSizeHint() const
{
    return sizeHint();
}
