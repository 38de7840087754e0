#include "livepanel.h"

#include "applog.h"
#include "axisview.h"
#include "datapacket.h"
#include "effectlistmodel.h"
#include "framepacer.h"
#include "hatindicator.h"
#include "signallabelbinding.h"
#include "signallabelbindingf.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMetaProperty>
#include <QProgressBar>
#include <QPushButton>

namespace {

// Shown elsewhere (bars, hats, buttons, status bar) or not at all.
const char *const kNotInGrid[]
    = {"timestamp", "mot_fault", "buttons64", "buttons_logical64", "hats", "Z", "Rz", "Rx", "Ry",
        "Slider", "aux_axis_1", "aux_axis_2", "aux_axis_3", "aux_axis_4"};

struct Scaled
{
    const char *name;
    const char *suffix;
    float scale;
};

const Scaled kScaled[] = {
    {"Ibus", "A", 0.01f},
    {"Vbus", "V", 0.01f},
    {"temp_x", "°C", 1.0f},
    {"temp_y", "°C", 1.0f},
    {"cycle_time", "µs", 1.0f},
    {"curr_x", "A", 0.1f},
    {"curr_y", "A", 0.1f},
    {"pot_1", "%", 0.024420025f},
    {"pot_2", "%", 0.024420025f},
};

bool notInGrid(const char *name)
{
    for (const char *skipped : kNotInGrid) {
        if (qstrcmp(skipped, name) == 0)
            return true;
    }
    return false;
}

const Scaled *scaledEntry(const char *name)
{
    for (const Scaled &entry : kScaled) {
        if (qstrcmp(entry.name, name) == 0)
            return &entry;
    }
    return nullptr;
}

// Room for the widest text any binding of the grid writes.
int valueWidth(const QFontMetrics &metrics)
{
    int width = metrics.horizontalAdvance(QStringLiteral("-32768"));
    for (const Scaled &entry : kScaled) {
        for (int raw : {-32768, 65535}) {
            const QString text = QString::asprintf("%5.2f", double(raw * entry.scale))
                + QString::fromUtf8(entry.suffix);
            width = std::max(width, metrics.horizontalAdvance(text));
        }
    }
    return width + 2;
}

} // namespace

LivePanel::LivePanel(
    const Widgets &widgets, DataPacket *data, EffectListModel *effects, QObject *parent)
    : QObject(parent)
    , m_ui(widgets)
    , m_data(data)
    , m_pacer(new FramePacer(widgets.frame, this))
    , m_numberPacer(new FramePacer(widgets.frame, this))
{
    m_pacer->setInterval(kGraphicIntervalMs);
    m_numberPacer->setInterval(kNumberIntervalMs);
    connect(m_pacer, &FramePacer::frame, this, &LivePanel::drawFrame);

    if (m_ui.paramGrid)
        buildLiveParamGrid();
    if (m_ui.axisView) {
        m_ui.axisView->setPacer(m_pacer);
        if (effects)
            m_ui.axisView->followEffects(effects);
        bindAxisView();
    }
    if (m_ui.hatsGrid) {
        for (int hat = 0; hat < 4; ++hat) {
            auto *indicator = new HatIndicator(hat, m_data, m_pacer);
            m_ui.hatsGrid->addWidget(indicator, hat / 2, hat % 2);
            m_hats.append(indicator);
        }
    }
    bindBars();
    if (m_ui.buttonStatus)
        buildRawButtonGrid();
}

void LivePanel::buildLiveParamGrid()
{
    const QMetaObject *meta = m_data->metaObject();
    for (int i = 1; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QString name = QString::fromLatin1(property.name());
        auto *nameLabel = new QLabel(name);
        auto *valueLabel = new QLabel(QStringLiteral("-"));
        valueLabel->setStyleSheet(QStringLiteral("QLabel { font-family: monospace; }"));
        valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (notInGrid(property.name())) {
            delete nameLabel;
            delete valueLabel;
            continue;
        }
        // A fixed size keeps a new value from re-running the window's layout at every frame.
        valueLabel->ensurePolished();
        valueLabel->setFixedSize(
            valueWidth(valueLabel->fontMetrics()), valueLabel->sizeHint().height());
        m_ui.paramGrid->addWidget(nameLabel, i, 0);
        m_ui.paramGrid->addWidget(valueLabel, i, 1);
        m_valueLabels.insert(name, valueLabel);
        if (!property.hasNotifySignal())
            continue;

        SignalLabelBinding *binding = nullptr;
        if (const Scaled *scaled = scaledEntry(property.name()))
            binding = new SignalLabelBindingF(
                name, valueLabel, scaled->scale, QString::fromUtf8(scaled->suffix));
        else
            binding = new SignalLabelBinding(name, valueLabel);
        binding->setParent(this);
        binding->setPacer(m_numberPacer);

        const QByteArray slot = QByteArray("valueChanged(") + property.typeName() + QByteArray(")");
        const int slotIndex = binding->metaObject()->indexOfSlot(slot.constData());
        if (slotIndex < 0) {
            qCDebug(lcApp) << "No binding slot" << slot << "for" << name;
            delete binding;
            continue;
        }
        QObject::connect(
            m_data, property.notifySignal(), binding, binding->metaObject()->method(slotIndex));
        m_bindings.insert(name, binding);
    }
}

void LivePanel::bindAxisView()
{
    AxisView *view = m_ui.axisView;
    auto position = [this, view] {
        view->setPosition(m_data->x() * AxisView::kRawScale, m_data->y() * AxisView::kRawScale);
    };
    auto force = [this, view] {
        view->setForce(
            m_data->fxout() * AxisView::kRawScale, m_data->fyout() * AxisView::kRawScale);
    };
    connect(m_data, &DataPacket::xChanged, view, position);
    connect(m_data, &DataPacket::yChanged, view, position);
    connect(m_data, &DataPacket::fxoutChanged, view, force);
    connect(m_data, &DataPacket::fyoutChanged, view, force);
}

void LivePanel::bindBars()
{
    QProgressBar *bars[] = {m_ui.z, m_ui.rx, m_ui.ry, m_ui.rz, m_ui.slider};
    for (QProgressBar *bar : bars) {
        if (bar)
            bar->setRange(bar == m_ui.z ? -4096 : 0, bar == m_ui.z ? 4096 : 255);
    }
    if (m_ui.z)
        m_ui.z->setValue(m_data->Z());
    if (m_ui.rx)
        m_ui.rx->setValue(m_data->Rx());
    if (m_ui.ry)
        m_ui.ry->setValue(m_data->Ry());
    if (m_ui.rz)
        m_ui.rz->setValue(m_data->Rz());
    if (m_ui.slider)
        m_ui.slider->setValue(m_data->Slider());
    auto request = [this] { m_pacer->request(); };
    connect(m_data, &DataPacket::ZChanged, m_pacer, request);
    connect(m_data, &DataPacket::RxChanged, m_pacer, request);
    connect(m_data, &DataPacket::RyChanged, m_pacer, request);
    connect(m_data, &DataPacket::RzChanged, m_pacer, request);
    connect(m_data, &DataPacket::SliderChanged, m_pacer, request);
    connect(m_data, &DataPacket::buttons64Changed, m_pacer, request);
}

void LivePanel::buildRawButtonGrid()
{
    // Two columns of 32, lit while the bit is set.
    m_rawButtons.reserve(64);
    for (int b = 0; b < 64; ++b) {
        auto *button = new QPushButton(QString::number(b + 1));
        button->setFixedSize(20, 20);
        button->setCheckable(true);
        button->setEnabled(false);
        button->setToolTip(QStringLiteral("Raw button data"));
        button->setStyleSheet(QStringLiteral(
            "QPushButton { font-size: 8pt; } QPushButton::checked { font-weight:bold; "
            "border-radius:3px; color: #fff; border: none; background-color: red; }"));
        m_ui.buttonStatus->addWidget(button, (b % 32) + 2, b / 32);
        m_rawButtons.append(button);
    }
    m_ui.buttonStatus->setRowStretch(34, 1);
}

void LivePanel::drawFrame()
{
    // Bars ignore a value they already show.
    if (m_ui.z)
        m_ui.z->setValue(m_data->Z());
    if (m_ui.rx)
        m_ui.rx->setValue(m_data->Rx());
    if (m_ui.ry)
        m_ui.ry->setValue(m_data->Ry());
    if (m_ui.rz)
        m_ui.rz->setValue(m_data->Rz());
    if (m_ui.slider)
        m_ui.slider->setValue(m_data->Slider());

    const uint64_t mask = m_data->buttons64();
    if (!m_rawButtons.isEmpty() && (!m_buttonsShown || mask != m_shownButtons)) {
        const uint64_t changed = m_buttonsShown ? (mask ^ m_shownButtons) : ~uint64_t(0);
        for (int b = 0; b < m_rawButtons.size(); ++b) {
            if (!((changed >> b) & 1u))
                continue;
            const bool on = (mask >> b) & 1u;
            m_rawButtons[b]->setChecked(on);
            m_rawButtons[b]->setEnabled(on);
        }
        m_shownButtons = mask;
        m_buttonsShown = true;
    }
}
