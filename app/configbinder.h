#pragma once
// Wires binding rows between controls and the configuration record.
//
// Forward (a user's edit): the control's change signal writes the parameter through its setter,
// with the value converted and then built in the parameter's own C++ type (a QVariant of
// another integer type may fail to write without a word).
// Reverse (a change from anywhere): the parameter's notify signal shows the value in the
// control. Showing never writes back: while a value is shown, forward writes are ignored, so a
// control that rounds, clamps or lacks an entry for a value never alters the record.

#include "bindingrow.h"

#include <QList>
#include <QObject>
#include <QVariant>

class DeviceConfig;

class ConfigBinder : public QObject
{
    Q_OBJECT

public:
    explicit ConfigBinder(DeviceConfig *config, QObject *parent = nullptr);

    // Binds every row under root; returns how many rows were bound. A row whose control or
    // parameter is missing is logged and skipped.
    int bind(QObject *root, const BindingRow *rows, int count);
    template<typename Rows> int bind(QObject *root, const Rows &rows)
    {
        return bind(root, std::data(rows), int(std::size(rows)));
    }

    // True while a value is being shown in a control (handlers of the control's signals can
    // tell a shown value from a user's edit).
    bool isShowing() const { return m_showDepth > 0; }
    int bindingCount() const { return m_bindings.size(); }

    // What was bound, in order of binding (tests and diagnostics).
    struct BoundRow
    {
        QObject *control;
        QByteArray parameter;
        Conversion conversion;
        bool initial;
    };
    QList<BoundRow> rows() const;
    // The parameter value row's control stands for now (its forward conversion, nothing written).
    QVariant controlValue(int row) const;
    // The first control bound to a parameter, or null.
    QObject *controlOf(const char *parameter) const;

    DeviceConfig *config() const { return m_config; }

    // A QVariant of exactly the meta-type typeId holding v (narrowed like a C++ cast); invalid
    // for a type that is not an integer or bool.
    static QVariant integerVariant(int typeId, qint64 v);

private:
    friend class ConfigBinding;
    friend class ShowScope;
    DeviceConfig *m_config;
    QList<QObject *> m_bindings;
    int m_showDepth = 0;
};
