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
// Every relay value: the property, its getter, setter slot and change signal. One expansion
// for all of it, because moc reads an included file only once; it ends in a section that is
// not Q_SIGNALS, where moc would take the next Q_PROPERTY for a signal.
#define TAVIK_EFFECT_RELAY(name, index)                                                            \
    Q_PROPERTY(int16_t name READ name WRITE set_##name NOTIFY name##Changed)                       \
public:                                                                                            \
    int16_t name() const { return m_values[index]; }                                               \
public Q_SLOTS:                                                                                    \
    void set_##name(int16_t value) { setValueAt(index, value); }                                   \
Q_SIGNALS:                                                                                         \
    void name##Changed(int16_t value);                                                             \
                                                                                                   \
private:
#include "effectrelays.def"
#undef TAVIK_EFFECT_RELAY

public:
    enum Group { GainGroup = 0, SaturationGroup = 1, DeadbandGroup = 2 };

    // comm may be null; the gain-map dialog's Apply then only emits its signal.
    EffectSettings(const QString &title, bool advanced, TavikComm *comm, QWidget *parent = nullptr);
    ~EffectSettings() override;

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

public Q_SLOTS:
    // Releases every link whose fields hold different values. Runs by itself once the values
    // that arrived together (one configuration) are all in, and before any edit is applied.
    void updateLinks();

private:
    // Property indices, in the order of the properties. (moc has read effectrelays.def above
    // and skips it here; it needs nothing of this enum.)
    enum Value {
#define TAVIK_EFFECT_RELAY(name, index) index,
#include "effectrelays.def"
#undef TAVIK_EFFECT_RELAY
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
