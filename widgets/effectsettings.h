#pragma once

#include "mappingdialog.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QDoubleSpinBox;
class QLayout;
class QPushButton;
class Section;
class SpinBoxSlider;
class TavikComm;

namespace Ui {
class EffectSettings;
}

// Edits one force effect's shaping values: gain, saturation and deadband per axis and
// direction, plus a low-pass filter. The lock buttons link the fields of a kind: "±" the two
// directions of an axis, "XY" the two axes.
//
// Values arriving through the setters (from the device or a file) are shown as they are and are
// never written back; only the user's edits change the properties. After values arrive, the
// links are judged from all four values of a kind and released where the values differ, so an
// edit never silently overwrites values that were different.
class EffectSettings : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int16_t gain_pos_x READ gain_pos_x WRITE set_gain_pos_x NOTIFY gain_pos_xChanged)
    Q_PROPERTY(int16_t gain_pos_y READ gain_pos_y WRITE set_gain_pos_y NOTIFY gain_pos_yChanged)
    Q_PROPERTY(int16_t gain_neg_x READ gain_neg_x WRITE set_gain_neg_x NOTIFY gain_neg_xChanged)
    Q_PROPERTY(int16_t gain_neg_y READ gain_neg_y WRITE set_gain_neg_y NOTIFY gain_neg_yChanged)
    Q_PROPERTY(int16_t deadband_pos_x READ deadband_pos_x WRITE set_deadband_pos_x NOTIFY
            deadband_pos_xChanged)
    Q_PROPERTY(int16_t deadband_pos_y READ deadband_pos_y WRITE set_deadband_pos_y NOTIFY
            deadband_pos_yChanged)
    Q_PROPERTY(int16_t deadband_neg_x READ deadband_neg_x WRITE set_deadband_neg_x NOTIFY
            deadband_neg_xChanged)
    Q_PROPERTY(int16_t deadband_neg_y READ deadband_neg_y WRITE set_deadband_neg_y NOTIFY
            deadband_neg_yChanged)
    Q_PROPERTY(int16_t saturation_pos_x READ saturation_pos_x WRITE set_saturation_pos_x NOTIFY
            saturation_pos_xChanged)
    Q_PROPERTY(int16_t saturation_pos_y READ saturation_pos_y WRITE set_saturation_pos_y NOTIFY
            saturation_pos_yChanged)
    Q_PROPERTY(int16_t saturation_neg_x READ saturation_neg_x WRITE set_saturation_neg_x NOTIFY
            saturation_neg_xChanged)
    Q_PROPERTY(int16_t saturation_neg_y READ saturation_neg_y WRITE set_saturation_neg_y NOTIFY
            saturation_neg_yChanged)

public:
    enum Group { GainGroup = 0, SaturationGroup = 1, DeadbandGroup = 2 };

    // comm may be null; the gain-map dialog's Apply then only emits its signal.
    EffectSettings(const QString &title, bool advanced, TavikComm *comm, QWidget *parent = nullptr);
    ~EffectSettings() override;

    int16_t gain_pos_x() const { return m_values[GainPosX]; }
    int16_t gain_pos_y() const { return m_values[GainPosY]; }
    int16_t gain_neg_x() const { return m_values[GainNegX]; }
    int16_t gain_neg_y() const { return m_values[GainNegY]; }
    int16_t deadband_pos_x() const { return m_values[DeadbandPosX]; }
    int16_t deadband_pos_y() const { return m_values[DeadbandPosY]; }
    int16_t deadband_neg_x() const { return m_values[DeadbandNegX]; }
    int16_t deadband_neg_y() const { return m_values[DeadbandNegY]; }
    int16_t saturation_pos_x() const { return m_values[SaturationPosX]; }
    int16_t saturation_pos_y() const { return m_values[SaturationPosY]; }
    int16_t saturation_neg_x() const { return m_values[SaturationNegX]; }
    int16_t saturation_neg_y() const { return m_values[SaturationNegY]; }

    QString title() const { return m_title; }

    // Does nothing on a panel built without the advanced block.
    void hideAdvanced(bool hide);
    void hideSaturation(bool hide);
    void hideDeadband(bool hide);
    void hideGain(bool hide);
    void hideFilter(bool hide);
    void showMappingButton(bool show);
    // Shows or hides the negative gain fields and the gain links, and sets both links to v.
    void showNegativeGain(bool v);
    void setGroupMinimum(int group, int raw);
    void setGroupMaximum(int group, int raw);
    void setGroupTitle(int group, const QString &text);

    QCheckBox *enableBox() const;
    QPushButton *tuneButton() const;
    QDoubleSpinBox *filterBox() const;
    QLayout *extraLayout() const;
    QLayout *buttonsLayout() const;
    MappingDialog *mappingDialog() { return &m_mappingDialog; }
    // Null on a panel built without the advanced flag.
    Section *advancedSection() const { return m_advanced; }

public slots:
    void set_gain_pos_x(int16_t value) { setValueAt(GainPosX, value); }
    void set_gain_pos_y(int16_t value) { setValueAt(GainPosY, value); }
    void set_gain_neg_x(int16_t value) { setValueAt(GainNegX, value); }
    void set_gain_neg_y(int16_t value) { setValueAt(GainNegY, value); }
    void set_deadband_pos_x(int16_t value) { setValueAt(DeadbandPosX, value); }
    void set_deadband_pos_y(int16_t value) { setValueAt(DeadbandPosY, value); }
    void set_deadband_neg_x(int16_t value) { setValueAt(DeadbandNegX, value); }
    void set_deadband_neg_y(int16_t value) { setValueAt(DeadbandNegY, value); }
    void set_saturation_pos_x(int16_t value) { setValueAt(SaturationPosX, value); }
    void set_saturation_pos_y(int16_t value) { setValueAt(SaturationPosY, value); }
    void set_saturation_neg_x(int16_t value) { setValueAt(SaturationNegX, value); }
    void set_saturation_neg_y(int16_t value) { setValueAt(SaturationNegY, value); }

    // Releases every link whose fields hold different values. Runs by itself once the values
    // that arrived together (one configuration) are all in, and before any edit is applied.
    void updateLinks();

signals:
    void gain_pos_xChanged(int16_t value);
    void gain_pos_yChanged(int16_t value);
    void gain_neg_xChanged(int16_t value);
    void gain_neg_yChanged(int16_t value);
    void deadband_pos_xChanged(int16_t value);
    void deadband_pos_yChanged(int16_t value);
    void deadband_neg_xChanged(int16_t value);
    void deadband_neg_yChanged(int16_t value);
    void saturation_pos_xChanged(int16_t value);
    void saturation_pos_yChanged(int16_t value);
    void saturation_neg_xChanged(int16_t value);
    void saturation_neg_yChanged(int16_t value);

private:
    // Property indices, in the order of the properties.
    enum Value {
        GainPosX,
        GainPosY,
        GainNegX,
        GainNegY,
        DeadbandPosX,
        DeadbandPosY,
        DeadbandNegX,
        DeadbandNegY,
        SaturationPosX,
        SaturationPosY,
        SaturationNegX,
        SaturationNegY,
        ValueCount
    };
    struct Field
    {
        SpinBoxSlider *spin = nullptr;
        Value value = GainPosX;
        int lockPartner = -1; // field index, or -1
        int xyPartner = -1;
        QAbstractButton *lock = nullptr;
        QAbstractButton *xyLock = nullptr;
    };

    void setValueAt(Value index, int16_t value);
    void emitChanged(Value index, int16_t value);
    void onFieldEdited(int fieldIndex, int value);
    void setBlocksEnabled(int state);
    QList<SpinBoxSlider *> groupFields(int group) const;

    std::unique_ptr<Ui::EffectSettings> ui;
    MappingDialog m_mappingDialog;
    QString m_title;
    QPointer<TavikComm> m_comm;
    Section *m_advanced = nullptr;
    std::array<int16_t, ValueCount> m_values {};
    std::array<int, ValueCount> m_fieldOfValue {};
    QList<Field> m_fields;
    int m_editDepth = 0;
    QTimer m_linkCheck;
};
