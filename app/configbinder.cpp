#include "configbinder.h"

#include "applog.h"
#include "deviceconfig.h"
#include "idlistmodel.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMetaProperty>
#include <QSpinBox>

namespace BC = BindingConversions;

class ShowScope
{
public:
    explicit ShowScope(ConfigBinder *binder)
        : m_binder(binder)
    {
        ++m_binder->m_showDepth;
    }
    ~ShowScope() { --m_binder->m_showDepth; }

private:
    ConfigBinder *m_binder;
};

// One bound row: slots without arguments, so any change signal can reach them.
class ConfigBinding : public QObject
{
    Q_OBJECT

public:
    enum class Kind {
        Slider,
        SpinBox,
        DoubleSpinBox,
        CheckBox,
        Button,
        ComboBox,
        LineEdit,
        Property
    };

    ConfigBinding(ConfigBinder *binder, QObject *control, const QMetaProperty &parameter,
        const BindingRow &row, Kind kind, const QMetaProperty &controlProperty)
        : QObject(binder)
        , m_binder(binder)
        , m_control(control)
        , m_parameter(parameter)
        , m_conversion(row.conversion)
        , m_kind(kind)
        , m_controlProperty(controlProperty)
    {
    }

    // The value the control stands for, converted to the parameter's type (nothing written).
    QVariant forwardValue() const;
    QObject *control() const { return m_control; }
    const QMetaProperty &parameter() const { return m_parameter; }
    Conversion conversion() const { return m_conversion; }
    bool initial = false;
    // The form's range of a spin box (after the row's range was applied).
    double m_rangeMin = 0;
    double m_rangeMax = 0;

public Q_SLOTS:
    void fromControl();
    void toControl();

private:
    qint64 controlInteger() const;
    void showInteger(qint64 p);
    void showId(qint64 p);
    void writeParameter(const QVariant &value);

    ConfigBinder *m_binder;
    QObject *m_control;
    QMetaProperty m_parameter;
    Conversion m_conversion;
    Kind m_kind;
    QMetaProperty m_controlProperty;
};

namespace {

ConfigBinding::Kind kindOf(QObject *control, const char *controlProperty)
{
    using Kind = ConfigBinding::Kind;
    if (controlProperty)
        return Kind::Property;
    if (qobject_cast<QAbstractSlider *>(control))
        return Kind::Slider;
    if (qobject_cast<QSpinBox *>(control))
        return Kind::SpinBox;
    if (qobject_cast<QDoubleSpinBox *>(control))
        return Kind::DoubleSpinBox;
    if (qobject_cast<QCheckBox *>(control))
        return Kind::CheckBox;
    if (qobject_cast<QAbstractButton *>(control))
        return Kind::Button;
    if (qobject_cast<QComboBox *>(control))
        return Kind::ComboBox;
    if (qobject_cast<QLineEdit *>(control))
        return Kind::LineEdit;
    return Kind::Property;
}

// The change signal of the control that means "the user changed the value".
const char *signalOf(ConfigBinding::Kind kind, Conversion conversion)
{
    using Kind = ConfigBinding::Kind;
    switch (kind) {
    case Kind::Slider:
    case Kind::SpinBox:
        return SIGNAL(valueChanged(int));
    case Kind::DoubleSpinBox:
        return SIGNAL(valueChanged(double));
    case Kind::CheckBox:
        return conversion == Conversion::State ? SIGNAL(stateChanged(int)) : SIGNAL(toggled(bool));
    case Kind::Button:
        return SIGNAL(toggled(bool));
    case Kind::ComboBox:
        return SIGNAL(currentIndexChanged(int));
    case Kind::LineEdit:
        return SIGNAL(textChanged(QString));
    case Kind::Property:
        break;
    }
    return nullptr;
}

void applyRange(QObject *control, const ControlRange &range)
{
    const bool hasRange = range.maximum > range.minimum;
    if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        if (hasRange)
            spin->setRange(int(range.minimum), int(range.maximum));
        if (range.step > 0)
            spin->setSingleStep(int(range.step));
        if (range.suffix)
            spin->setSuffix(QString::fromUtf8(range.suffix));
        if (range.prefix)
            spin->setPrefix(QString::fromUtf8(range.prefix));
    } else if (auto *spin = qobject_cast<QDoubleSpinBox *>(control)) {
        if (range.decimals >= 0)
            spin->setDecimals(range.decimals);
        if (hasRange)
            spin->setRange(range.minimum, range.maximum);
        if (range.step > 0)
            spin->setSingleStep(range.step);
        if (range.suffix)
            spin->setSuffix(QString::fromUtf8(range.suffix));
        if (range.prefix)
            spin->setPrefix(QString::fromUtf8(range.prefix));
    } else if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
        if (hasRange)
            slider->setRange(int(range.minimum), int(range.maximum));
    }
}

} // namespace

qint64 ConfigBinding::controlInteger() const
{
    switch (m_kind) {
    case Kind::Slider:
        return static_cast<QAbstractSlider *>(m_control)->value();
    case Kind::SpinBox:
        return static_cast<QSpinBox *>(m_control)->value();
    case Kind::DoubleSpinBox:
        return qint64(static_cast<QDoubleSpinBox *>(m_control)->value());
    case Kind::CheckBox:
        if (m_conversion == Conversion::State)
            return static_cast<QCheckBox *>(m_control)->checkState();
        return static_cast<QAbstractButton *>(m_control)->isChecked() ? 1 : 0;
    case Kind::Button:
        return static_cast<QAbstractButton *>(m_control)->isChecked() ? 1 : 0;
    case Kind::ComboBox: {
        const auto *combo = static_cast<QComboBox *>(m_control);
        return combo->currentIndex() < 0 ? 0 : combo->currentData(Qt::UserRole).toLongLong();
    }
    case Kind::LineEdit:
        return 0;
    case Kind::Property:
        return m_controlProperty.read(m_control).toLongLong();
    }
    return 0;
}

QVariant ConfigBinding::forwardValue() const
{
    if (m_conversion == Conversion::Text) {
        auto *edit = qobject_cast<QLineEdit *>(m_control);
        return edit ? QVariant::fromValue(BC::textFromControl(edit->text())) : QVariant();
    }
    qint64 p = 0;
    switch (m_conversion) {
    case Conversion::Same:
    case Conversion::Id:
        p = controlInteger();
        break;
    case Conversion::Not:
        p = BC::notFromChecked(controlInteger() != 0);
        break;
    case Conversion::State:
        p = BC::stateFromCheckState(int(controlInteger()));
        break;
    case Conversion::Tenths:
    case Conversion::Fraction: {
        const auto *spin = qobject_cast<QDoubleSpinBox *>(m_control);
        const double c = spin ? spin->value() : double(controlInteger());
        p = m_conversion == Conversion::Tenths ? BC::tenthsFromControl(c)
                                               : BC::fractionFromControl(c);
        break;
    }
    case Conversion::Percent:
        p = BC::percentFromControl(controlInteger());
        break;
    case Conversion::Text:
        break;
    }
    return ConfigBinder::integerVariant(m_parameter.userType(), p);
}

void ConfigBinding::fromControl()
{
    if (m_binder->isShowing())
        return;
    const QVariant value = forwardValue();
    writeParameter(value);
    if (m_conversion == Conversion::Text) {
        // A typed name longer than 20 bytes is stored cut at a character; show what is stored.
        auto *edit = qobject_cast<QLineEdit *>(m_control);
        const QString stored = value.value<DeviceName>().toString();
        if (edit && stored != edit->text()) {
            const ShowScope showing(m_binder);
            edit->setText(stored);
        }
    }
}

void ConfigBinding::writeParameter(const QVariant &value)
{
    if (!value.isValid() || !m_parameter.write(m_binder->config(), value))
        qCWarning(lcApp) << "Binding of" << m_control->objectName() << "could not write"
                         << m_parameter.name();
}

void ConfigBinding::toControl()
{
    const ShowScope showing(m_binder);
    const QVariant value = m_parameter.read(m_binder->config());
    if (m_conversion == Conversion::Text) {
        if (auto *edit = qobject_cast<QLineEdit *>(m_control)) {
            const QString text = BC::textToControl(value.value<DeviceName>());
            if (edit->text() != text)
                edit->setText(text);
        }
        return;
    }
    // A control that already stands for the value is left alone: setting it again would
    // reformat the text the user is typing.
    if (forwardValue() == value)
        return;
    const qint64 p = value.toLongLong();
    if (m_conversion == Conversion::Id)
        showId(p);
    else
        showInteger(p);
}

void ConfigBinding::showInteger(qint64 p)
{
    switch (m_kind) {
    case Kind::Slider:
        static_cast<QAbstractSlider *>(m_control)->setValue(int(p));
        return;
    case Kind::SpinBox: {
        auto *spin = static_cast<QSpinBox *>(m_control);
        const int c = int(m_conversion == Conversion::Percent ? BC::percentToControl(p) : p);
        // A stored value outside the form's range is shown as it is, not clamped; the range
        // returns to the form's once the value is back inside it.
        spin->setRange(std::min(c, int(m_rangeMin)), std::max(c, int(m_rangeMax)));
        spin->setValue(c);
        return;
    }
    case Kind::DoubleSpinBox: {
        auto *spin = static_cast<QDoubleSpinBox *>(m_control);
        double c = double(p);
        if (m_conversion == Conversion::Tenths)
            c = BC::tenthsToControl(p);
        else if (m_conversion == Conversion::Fraction)
            c = BC::fractionToControl(p);
        else if (m_conversion == Conversion::Percent)
            c = double(BC::percentToControl(p));
        spin->setRange(std::min(c, m_rangeMin), std::max(c, m_rangeMax));
        spin->setValue(c);
        return;
    }
    case Kind::CheckBox:
    case Kind::Button: {
        auto *button = static_cast<QAbstractButton *>(m_control);
        if (m_conversion == Conversion::Not)
            button->setChecked(BC::notToChecked(p));
        else if (m_conversion == Conversion::State)
            button->setChecked(BC::stateToChecked(p));
        else
            button->setChecked(p != 0);
        return;
    }
    case Kind::ComboBox:
        showId(p);
        return;
    case Kind::LineEdit:
        return;
    case Kind::Property: {
        const QVariant v = ConfigBinder::integerVariant(m_controlProperty.userType(), p);
        if (!v.isValid() || !m_controlProperty.write(m_control, v))
            qCWarning(lcApp) << "Binding of" << m_parameter.name() << "could not show in"
                             << m_control->objectName();
        return;
    }
    }
}

void ConfigBinding::showId(qint64 p)
{
    auto *combo = qobject_cast<QComboBox *>(m_control);
    if (!combo)
        return;
    int row = combo->findData(QVariant(int(p)), Qt::UserRole);
    if (row < 0) {
        // An identifier this program does not know (a newer firmware's) is kept and shown as
        // such, never replaced by the first entry.
        const QString name = QStringLiteral("Unknown (%1)").arg(p);
        if (auto *model = qobject_cast<IdListModel *>(combo->model())) {
            IdListModel::List list = model->list();
            // At most one such row: it stands for the value the record holds now.
            const int old = list.isEmpty() ? -1 : list.size() - 1;
            if (old >= 0 && list[old].name.startsWith(QLatin1String("Unknown (")))
                list.removeLast();
            list.append({name, int(p)});
            model->setList(list);
        } else {
            combo->addItem(name, QVariant(int(p)));
        }
        row = combo->findData(QVariant(int(p)), Qt::UserRole);
    }
    combo->setCurrentIndex(row);
}

ConfigBinder::ConfigBinder(DeviceConfig *config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
}

QVariant ConfigBinder::integerVariant(int typeId, qint64 v)
{
    switch (typeId) {
    case QMetaType::Bool:
        return QVariant::fromValue(v != 0);
    case QMetaType::UChar:
        return QVariant::fromValue(static_cast<unsigned char>(v));
    case QMetaType::SChar:
        return QVariant::fromValue(static_cast<signed char>(v));
    case QMetaType::Char:
        return QVariant::fromValue(static_cast<char>(v));
    case QMetaType::Short:
        return QVariant::fromValue(static_cast<short>(v));
    case QMetaType::UShort:
        return QVariant::fromValue(static_cast<unsigned short>(v));
    case QMetaType::Int:
        return QVariant::fromValue(static_cast<int>(v));
    case QMetaType::UInt:
        return QVariant::fromValue(static_cast<unsigned int>(v));
    case QMetaType::Long:
        return QVariant::fromValue(static_cast<long>(v));
    case QMetaType::ULong:
        return QVariant::fromValue(static_cast<unsigned long>(v));
    case QMetaType::LongLong:
        return QVariant::fromValue(static_cast<long long>(v));
    case QMetaType::ULongLong:
        return QVariant::fromValue(static_cast<unsigned long long>(v));
    default:
        return QVariant();
    }
}

QList<ConfigBinder::BoundRow> ConfigBinder::rows() const
{
    QList<BoundRow> rows;
    for (QObject *o : m_bindings) {
        const auto *b = static_cast<const ConfigBinding *>(o);
        rows.append({b->control(), QByteArray(b->parameter().name()), b->conversion(), b->initial});
    }
    return rows;
}

QVariant ConfigBinder::controlValue(int row) const
{
    if (row < 0 || row >= m_bindings.size())
        return QVariant();
    return static_cast<const ConfigBinding *>(m_bindings.at(row))->forwardValue();
}

QObject *ConfigBinder::controlOf(const char *parameter) const
{
    for (QObject *o : m_bindings) {
        const auto *b = static_cast<const ConfigBinding *>(o);
        if (qstrcmp(b->parameter().name(), parameter) == 0)
            return b->control();
    }
    return nullptr;
}

int ConfigBinder::bind(QObject *root, const BindingRow *rows, int count)
{
    const QMetaObject *configMeta = m_config->metaObject();
    int bound = 0;
    for (int i = 0; i < count; ++i) {
        const BindingRow &row = rows[i];
        QObject *control = (!row.control || !*row.control)
            ? root
            : root->findChild<QObject *>(QLatin1String(row.control));
        const int parameterIndex = configMeta->indexOfProperty(row.parameter);
        if (!control || parameterIndex < 0) {
            qCWarning(lcApp) << "Binding row" << row.control << row.parameter
                             << "has no control or no parameter";
            continue;
        }
        const QMetaProperty parameter = configMeta->property(parameterIndex);
        const ConfigBinding::Kind kind = kindOf(control, row.controlProperty);
        QMetaProperty controlProperty;
        if (kind == ConfigBinding::Kind::Property) {
            const char *name = row.controlProperty ? row.controlProperty : "value";
            const int index = control->metaObject()->indexOfProperty(name);
            if (index < 0) {
                qCWarning(lcApp) << "Binding row" << row.control << "has no property" << name;
                continue;
            }
            controlProperty = control->metaObject()->property(index);
        }
        applyRange(control, row.range);

        auto *binding = new ConfigBinding(this, control, parameter, row, kind, controlProperty);
        const int fromSlot = binding->metaObject()->indexOfSlot("fromControl()");
        const int toSlot = binding->metaObject()->indexOfSlot("toControl()");
        bool ok = false;
        if (kind == ConfigBinding::Kind::Property) {
            ok = controlProperty.hasNotifySignal()
                && QObject::connect(control, controlProperty.notifySignal(), binding,
                    binding->metaObject()->method(fromSlot));
        } else {
            ok = QObject::connect(
                control, signalOf(kind, row.conversion), binding, SLOT(fromControl()));
        }
        ok = ok
            && QObject::connect(
                m_config, parameter.notifySignal(), binding, binding->metaObject()->method(toSlot));
        if (!ok) {
            qCWarning(lcApp) << "Binding row" << row.control << row.parameter
                             << "could not be connected";
            delete binding;
            continue;
        }
        binding->initial = row.initial;
        if (auto *spin = qobject_cast<QSpinBox *>(control)) {
            binding->m_rangeMin = spin->minimum();
            binding->m_rangeMax = spin->maximum();
        } else if (auto *spin = qobject_cast<QDoubleSpinBox *>(control)) {
            binding->m_rangeMin = spin->minimum();
            binding->m_rangeMax = spin->maximum();
        }
        m_bindings.append(binding);
        if (row.initial)
            binding->toControl();
        ++bound;
    }
    return bound;
}

#include "configbinder.moc"
