#pragma once
// The Button Mapping tab: one tile per logical button 1..48 in a flow layout, bound both ways
// to the record's button map and its invert and toggle masks; "Reset Mapping"; and the
// .tavmap export and import.

#include "buttonmapfile.h"
#include "configtypes.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <cstdint>

class BtnMapWidget;
class DataPacket;
class DeviceConfig;
class MainWindow;
class QWidget;

class ButtonMappingTab : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTileCount = ButtonMapping::kSize;

    // Fills page's gb_btn_map with the tiles and wires its b_import_mapping, b_export_mapping
    // and b_reset_mapping. The window gives the status bar and the folder the file dialogs
    // share.
    ButtonMappingTab(
        MainWindow *window, QWidget *page, DeviceConfig *config, DataPacket *telemetry);

    // The tile of logical button n, or null for a number without one.
    BtnMapWidget *tile(int logical) const;
    // Every tile under its logical number.
    const QHash<int, BtnMapWidget *> &buttonWidgets() const { return m_buttonWidgets; }

    // What the tiles show, logical 1..48 in order.
    QVector<ButtonMapEntry> entries() const;

    // The file actions without their dialogs; failures are logged, shown in the status bar
    // and returned.
    ConfigFileResult exportMappingTo(const QString &path);
    ConfigFileResult importMappingFrom(const QString &path);

public Q_SLOTS:
    // The Export and Import buttons: a file dialog, then the action.
    void exportButtonMap();
    void importButtonMap();
    // Every tile back to its own number; the flags stay.
    void resetMapping();

private:
    void buildTiles(QWidget *page);
    // A user's change of one tile, written through the record's setters.
    void onTileValue(int logical, int value);
    void onTileFlag(int logical, bool invertMask, int value);
    // Sets the tiles listed as a user's edit: the record is written once per field.
    void applyEntries(const QVector<ButtonMapEntry> &entries);
    // The record's values, shown without writing anything back.
    void showMapping(const ButtonMapping &mapping);
    void showMask(uint64_t mask, bool invertMask);

    MainWindow *m_window;
    DeviceConfig *m_config;
    DataPacket *m_telemetry;
    QVector<BtnMapWidget *> m_tiles; // index logical - 1
    QHash<int, BtnMapWidget *> m_buttonWidgets;
};
