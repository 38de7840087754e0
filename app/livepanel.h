#pragma once
// The live view left of the tabs: the telemetry grid built from DataPacket's properties, the
// stick indicator, the hat indicators, the axis bars and the 64 raw button indicators. All of
// them draw the latest values at the pacer's frames, never once per telemetry message.

#include <QHash>
#include <QObject>
#include <QVector>

#include <cstdint>

class AxisView;
class DataPacket;
class EffectListModel;
class FramePacer;
class HatIndicator;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class SignalLabelBinding;

class LivePanel : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *frame = nullptr; // decides visibility (the left panel)
        QGridLayout *paramGrid = nullptr;
        AxisView *axisView = nullptr;
        QGridLayout *hatsGrid = nullptr;
        QProgressBar *z = nullptr, *rx = nullptr, *ry = nullptr, *rz = nullptr, *slider = nullptr;
        QGridLayout *buttonStatus = nullptr;
    };

    LivePanel(const Widgets &widgets, DataPacket *data, EffectListModel *effects,
        QObject *parent = nullptr);

    // The stick, hats, bars and buttons move at most 30 times a second: smooth to the eye at
    // half the drawing cost of 60 (measured with bench/cpu-live.sh).
    static constexpr int kGraphicIntervalMs = 33;
    // Numbers change at most this often: faster than this nobody can read them.
    static constexpr int kNumberIntervalMs = 100;

    // Frames of the graphic parts (stick, hats, bars, buttons) and of the numbers.
    FramePacer *pacer() const { return m_pacer; }
    FramePacer *numberPacer() const { return m_numberPacer; }
    // The value label of a grid row (nullptr for a property the grid does not show).
    QLabel *valueLabel(const QString &property) const { return m_valueLabels.value(property); }
    SignalLabelBinding *binding(const QString &property) const
    {
        return m_bindings.value(property);
    }
    QPushButton *rawButton(int bit) const { return m_rawButtons.value(bit); }
    const QVector<HatIndicator *> &hatIndicators() const { return m_hats; }

private:
    void buildLiveParamGrid();
    void buildRawButtonGrid();
    void bindAxisView();
    void bindBars();
    void drawFrame();

    Widgets m_ui;
    DataPacket *m_data;
    FramePacer *m_pacer;
    FramePacer *m_numberPacer;
    QHash<QString, QLabel *> m_valueLabels;
    QHash<QString, SignalLabelBinding *> m_bindings;
    QVector<QPushButton *> m_rawButtons;
    QVector<HatIndicator *> m_hats;
    uint64_t m_shownButtons = 0;
    bool m_buttonsShown = false;
};
