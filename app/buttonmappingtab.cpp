#include "buttonmappingtab.h"

#include "applog.h"
#include "btnmapwidget.h"
#include "deviceconfig.h"
#include "flowlayout.h"
#include "mainwindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString kFileFilter = QStringLiteral("Button map (*.tavmap)");
const QString kDefaultName = QStringLiteral("button_map.tavmap");
// Long enough to read the reason after the known text.
constexpr int kFailureMessageMs = 5000;

uint64_t withBit(uint64_t mask, int bit, bool on)
{
    const uint64_t b = uint64_t(1) << bit;
    return on ? (mask | b) : (mask & ~b);
}

} // namespace

ButtonMappingTab::ButtonMappingTab(
    MainWindow *window, QWidget *page, DeviceConfig *config, DataPacket *telemetry)
    : QObject(window)
    , m_window(window)
    , m_config(config)
    , m_telemetry(telemetry)
{
    setObjectName(QStringLiteral("buttonMappingTab"));
    buildTiles(page);

    connect(m_config, &DeviceConfig::button_mappingChanged, this, &ButtonMappingTab::showMapping);
    connect(m_config, &DeviceConfig::button_inv_maskChanged, this,
        [this](uint64_t mask) { showMask(mask, true); });
    connect(m_config, &DeviceConfig::button_tgl_maskChanged, this,
        [this](uint64_t mask) { showMask(mask, false); });

    const auto wire = [page](const char *name) {
        auto *button = page->findChild<QPushButton *>(QLatin1String(name));
        if (!button)
            qCWarning(lcApp) << "Button Mapping tab without" << name;
        return button;
    };
    if (QPushButton *b = wire("b_reset_mapping"))
        connect(b, &QPushButton::clicked, this, &ButtonMappingTab::resetMapping);
    if (QPushButton *b = wire("b_export_mapping"))
        connect(b, &QPushButton::clicked, this, &ButtonMappingTab::exportButtonMap);
    if (QPushButton *b = wire("b_import_mapping"))
        connect(b, &QPushButton::clicked, this, &ButtonMappingTab::importButtonMap);
}

void ButtonMappingTab::buildTiles(QWidget *page)
{
    auto *box = page->findChild<QGroupBox *>(QStringLiteral("gb_btn_map"));
    if (!box) {
        qCWarning(lcApp) << "Button Mapping tab without gb_btn_map";
        box = new QGroupBox(page);
    }
    // The tiles wrap to the width; a window too low for all rows scrolls instead of hiding the
    // last ones.
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(box);
    scroll->setObjectName(QStringLiteral("scroll_btn_map"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    boxLayout->addWidget(scroll);
    auto *tiles = new QWidget(scroll);
    tiles->setObjectName(QStringLiteral("btn_map_tiles"));
    auto *flow = new FlowLayout(tiles);
    m_tiles.reserve(kTileCount);
    for (int n = 1; n <= kTileCount; ++n) {
        auto *tile = new BtnMapWidget(n, m_telemetry, tiles);
        tile->setObjectName(QStringLiteral("btn_map_%1").arg(n));
        // Before any binding exists, so nothing reaches the record.
        tile->resetToIdentity();
        flow->addWidget(tile);
        m_tiles.append(tile);
        m_buttonWidgets.insert(n, tile);
        connect(tile, &BtnMapWidget::valueChanged, this,
            [this, n](int value) { onTileValue(n, value); });
        connect(tile, &BtnMapWidget::invertChanged, this,
            [this, n](int value) { onTileFlag(n, true, value); });
        connect(tile, &BtnMapWidget::toggleChanged, this,
            [this, n](int value) { onTileFlag(n, false, value); });
    }
    scroll->setWidget(tiles);
}

BtnMapWidget *ButtonMappingTab::tile(int logical) const
{
    if (logical < 1 || logical > m_tiles.size())
        return nullptr;
    return m_tiles[logical - 1];
}

QVector<ButtonMapEntry> ButtonMappingTab::entries() const
{
    QVector<ButtonMapEntry> result;
    result.reserve(m_tiles.size());
    for (const BtnMapWidget *t : m_tiles)
        result.append({t->logicalId(), int(t->physicalButton()), t->isInvert(), t->isToggle()});
    return result;
}

void ButtonMappingTab::onTileValue(int logical, int value)
{
    if (logical < 1 || logical > ButtonMapping::kSize || value < 0
        || value > int(BtnMapWidget::kMaxPhysicalButton)) {
        qCWarning(lcApp) << "Tile" << logical << "reports physical button" << value
                         << "which the map cannot hold; not stored";
        return;
    }
    ButtonMapping mapping = m_config->button_mapping();
    mapping.map[logical - 1] = uint8_t(value);
    m_config->set_button_mapping(mapping);
}

void ButtonMappingTab::onTileFlag(int logical, bool invertMask, int value)
{
    if (logical < 1 || logical > ButtonMapping::kSize)
        return;
    if (invertMask)
        m_config->set_button_inv_mask(
            withBit(m_config->button_inv_mask(), logical - 1, value != 0));
    else
        m_config->set_button_tgl_mask(
            withBit(m_config->button_tgl_mask(), logical - 1, value != 0));
}

void ButtonMappingTab::applyEntries(const QVector<ButtonMapEntry> &entries)
{
    ButtonMapping mapping = m_config->button_mapping();
    uint64_t inverted = m_config->button_inv_mask();
    uint64_t toggled = m_config->button_tgl_mask();
    for (const ButtonMapEntry &e : entries) {
        BtnMapWidget *t = tile(e.logical);
        if (!t || e.physical < 0 || e.physical > int(BtnMapWidget::kMaxPhysicalButton))
            continue;
        const QSignalBlocker blocker(t);
        t->setPhysicalButton(unsigned(e.physical));
        mapping.map[e.logical - 1] = uint8_t(e.physical);
        if (e.inverted) {
            t->setInvert(*e.inverted);
            inverted = withBit(inverted, e.logical - 1, *e.inverted);
        }
        if (e.toggle) {
            t->setToggle(*e.toggle);
            toggled = withBit(toggled, e.logical - 1, *e.toggle);
        }
    }
    m_config->set_button_mapping(mapping);
    m_config->set_button_inv_mask(inverted);
    m_config->set_button_tgl_mask(toggled);
}

void ButtonMappingTab::showMapping(const ButtonMapping &mapping)
{
    for (int i = 0; i < m_tiles.size() && i < ButtonMapping::kSize; ++i) {
        BtnMapWidget *t = m_tiles[i];
        // A field that already says the same stays as typed ("07" is 7, empty is 0).
        if (t->physicalButton() == mapping.map[i])
            continue;
        const QSignalBlocker blocker(t);
        t->setPhysicalButton(mapping.map[i]);
    }
}

void ButtonMappingTab::showMask(uint64_t mask, bool invertMask)
{
    for (int i = 0; i < m_tiles.size(); ++i) {
        const bool on = (mask >> i) & 1u;
        BtnMapWidget *t = m_tiles[i];
        const QSignalBlocker blocker(t);
        if (invertMask)
            t->setInvert(on);
        else
            t->setToggle(on);
    }
}

void ButtonMappingTab::resetMapping()
{
    QVector<ButtonMapEntry> identity;
    identity.reserve(m_tiles.size());
    for (int n = 1; n <= m_tiles.size(); ++n)
        identity.append({n, n, std::nullopt, std::nullopt});
    applyEntries(identity);
}

ConfigFileResult ButtonMappingTab::exportMappingTo(const QString &path)
{
    const ConfigFileResult result = writeButtonMapFile(path, entries());
    if (!result) {
        qCWarning(lcApp).noquote()
            << "Export of the button map to" << path << "failed:" << result.error;
        m_window->statusBar()->showMessage(
            QStringLiteral("Failed to export mapping: %1").arg(result.error), kFailureMessageMs);
    }
    return result;
}

ConfigFileResult ButtonMappingTab::importMappingFrom(const QString &path)
{
    QVector<ButtonMapEntry> read;
    const ConfigFileResult result = readButtonMapFile(path, &read);
    if (!result) {
        qCWarning(lcApp).noquote()
            << "Import of the button map" << path << "failed:" << result.error;
        m_window->statusBar()->showMessage(
            QStringLiteral("Failed to import mapping: %1").arg(result.error), kFailureMessageMs);
        return result;
    }
    applyEntries(read);
    return result;
}

void ButtonMappingTab::exportButtonMap()
{
    const QString folder = m_window->exportPath();
    const QString suggestion
        = folder.isEmpty() ? kDefaultName : folder + QLatin1Char('/') + kDefaultName;
    QFileDialog dialog(m_window, QStringLiteral("Export button mapping"), suggestion, kFileFilter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without the extension still gives a file the import dialog lists.
    dialog.setDefaultSuffix(QStringLiteral("tavmap"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString file = dialog.selectedFiles().value(0);
    if (file.isEmpty())
        return;
    m_window->setExportPath(QFileInfo(file).absolutePath());
    exportMappingTo(file);
}

void ButtonMappingTab::importButtonMap()
{
    const QString folder = m_window->exportPath();
    const QString file = QFileDialog::getOpenFileName(m_window,
        QStringLiteral("Import button mapping"), folder.isEmpty() ? kDefaultName : folder,
        kFileFilter, nullptr, QFileDialog::DontUseNativeDialog);
    if (file.isEmpty())
        return;
    m_window->setExportPath(QFileInfo(file).absolutePath());
    importMappingFrom(file);
}
