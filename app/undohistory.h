#pragma once
// Undo and redo of the user's edits of the configuration. Only changes made as a user's edit
// become steps; values from the base or a file are no step and clear nothing. Edits of one
// parameter without a mouse press or a focus change between them (a slider dragged in one
// motion, typing in one box) are one step; a batch of edits (a restored backup) is one step.
// Undo and redo write through the setters, so a value passes the same checks as an edit, and
// send nothing.

#include "baseconfig.h"
#include "configsnapshot.h"

#include <QObject>
#include <QUndoStack>
#include <QVector>

class DeviceConfig;
class QMenuBar;

class UndoHistory : public QObject
{
    Q_OBJECT

public:
    struct Change
    {
        int index;
        QByteArray before;
        QByteArray after;
    };

    explicit UndoHistory(DeviceConfig *config, QObject *parent = nullptr);
    ~UndoHistory() override;

    QUndoStack *stack() { return &m_stack; }
    // Adds the "Edit" menu with Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z).
    void addMenu(QMenuBar *menuBar);
    // The next edit starts a new step.
    void breakMerge() { ++m_gesture; }

    // Used by the steps.
    void apply(const QVector<Change> &changes, bool forward);
    int gesture() const { return m_gesture; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onParameterChanged(int index, BaseConfig::ChangeOrigin origin);
    void onChangesFinished(BaseConfig::ChangeOrigin origin);

    DeviceConfig *m_config;
    QUndoStack m_stack;
    ConfigSnapshot m_current; // the record's values, updated after every change
    QVector<Change> m_batch;
    bool m_applying = false;
    int m_gesture = 0;
};
