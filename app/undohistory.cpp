#include "undohistory.h"

#include "configparameters.h"
#include "deviceconfig.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

namespace {

constexpr int kEditStepId = 0x7a11;

class EditStep : public QUndoCommand
{
public:
    EditStep(UndoHistory *history, QVector<UndoHistory::Change> changes)
        : m_history(history)
        , m_changes(std::move(changes))
        , m_gesture(history->gesture())
    {
        if (m_changes.size() == 1)
            setText(QString::fromLatin1(configParameter(m_changes.first().index).name));
        else
            setText(QStringLiteral("%1 values").arg(m_changes.size()));
    }

    int id() const override { return m_changes.size() == 1 ? kEditStepId : -1; }

    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const EditStep *>(other);
        if (next->m_gesture != m_gesture || next->m_changes.size() != 1
            || next->m_changes.first().index != m_changes.first().index)
            return false;
        m_changes.first().after = next->m_changes.first().after;
        // Dragged back to where it started: no step at all.
        setObsolete(m_changes.first().after == m_changes.first().before);
        return true;
    }

    void undo() override { m_history->apply(m_changes, false); }

    void redo() override
    {
        // Pushed after the edit happened: the first redo has nothing to do.
        if (!m_done) {
            m_done = true;
            return;
        }
        m_history->apply(m_changes, true);
    }

private:
    UndoHistory *m_history;
    QVector<UndoHistory::Change> m_changes;
    int m_gesture;
    bool m_done = false;
};

} // namespace

UndoHistory::UndoHistory(DeviceConfig *config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_current(ConfigSnapshot::fromConfig(*config))
{
    connect(m_config, &BaseConfig::parameterChanged, this, &UndoHistory::onParameterChanged);
    connect(m_config, &BaseConfig::changesFinished, this, &UndoHistory::onChangesFinished);
    // A press or a new focus ends the motion that merges edits into one step.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &UndoHistory::breakMerge);
}

UndoHistory::~UndoHistory()
{
    qApp->removeEventFilter(this);
}

void UndoHistory::addMenu(QMenuBar *menuBar)
{
    QMenu *menu = menuBar->addMenu(QStringLiteral("&Edit"));
    menu->setObjectName(QStringLiteral("menu_edit"));
    QAction *undo = m_stack.createUndoAction(menu, QStringLiteral("Undo"));
    undo->setObjectName(QStringLiteral("action_undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction *redo = m_stack.createRedoAction(menu, QStringLiteral("Redo"));
    redo->setObjectName(QStringLiteral("action_redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menu->addAction(undo);
    menu->addAction(redo);
}

bool UndoHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        breakMerge();
    return QObject::eventFilter(watched, event);
}

void UndoHistory::onParameterChanged(int index, BaseConfig::ChangeOrigin origin)
{
    if (index < 0 || index >= kConfigParameterCount)
        return;
    const QByteArray before = m_current.json(index);
    m_current.take(*m_config, index);
    if (m_applying || origin != BaseConfig::ChangeOrigin::User)
        return;
    Change change {index, before, m_current.json(index)};
    if (m_config->isInBatch()) {
        m_batch.append(change);
        return;
    }
    m_stack.push(new EditStep(this, {change}));
}

void UndoHistory::onChangesFinished(BaseConfig::ChangeOrigin origin)
{
    QVector<Change> batch;
    batch.swap(m_batch);
    if (origin != BaseConfig::ChangeOrigin::User || m_applying || batch.isEmpty())
        return;
    breakMerge();
    m_stack.push(new EditStep(this, batch));
    breakMerge();
}

void UndoHistory::apply(const QVector<Change> &changes, bool forward)
{
    m_applying = true;
    {
        // One batch for the listeners that judge the record as a whole.
        const BaseConfig::OriginScope scope(*m_config, BaseConfig::ChangeOrigin::User);
        if (forward) {
            for (const Change &c : changes)
                ConfigSnapshot::applyValue(*m_config, c.index, c.after);
        } else {
            for (int i = changes.size() - 1; i >= 0; --i)
                ConfigSnapshot::applyValue(*m_config, changes.at(i).index, changes.at(i).before);
        }
    }
    m_applying = false;
    breakMerge();
}
