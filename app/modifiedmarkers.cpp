#include "modifiedmarkers.h"

#include "configbinder.h"
#include "configparameters.h"
#include "configsafety.h"
#include "deviceconfig.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>

namespace {

// A frame drawn just outside a control, in the control's parent; it takes no input.
class Outline : public QWidget
{
public:
    explicit Outline(QWidget *control)
        : QWidget(control->parentWidget())
        , m_control(control)
    {
        setObjectName(QStringLiteral("modified_outline"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        follow();
    }

    void follow()
    {
        if (!m_control)
            return;
        setGeometry(m_control->geometry().adjusted(-2, -2, 2, 2));
        setVisible(m_control->isVisible());
        raise();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }

private:
    QPointer<QWidget> m_control;
};

} // namespace

ModifiedMarkers::ModifiedMarkers(DeviceConfig *config, ConfigBinder *binder, ConfigSafety *safety,
    QTabWidget *tabs, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_binder(binder)
    , m_safety(safety)
    , m_tabs(tabs)
{
    for (int i = 0; i < m_tabs->count(); ++i)
        m_titles << m_tabs->tabText(i);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &ModifiedMarkers::refresh);
    connect(m_config, &BaseConfig::parameterChanged, m_timer, qOverload<>(&QTimer::start));
    connect(
        m_safety, &ConfigSafety::baseConfigurationChanged, m_timer, qOverload<>(&QTimer::start));
    m_timer->start();
}

QVector<int> ModifiedMarkers::modifiedParameters() const
{
    QVector<int> list(m_modified.begin(), m_modified.end());
    std::sort(list.begin(), list.end());
    return list;
}

bool ModifiedMarkers::isMarked(const QWidget *control) const
{
    const auto it = m_outlines.constFind(const_cast<QWidget *>(control));
    return it != m_outlines.constEnd() && !it->isNull();
}

QVector<int> ModifiedMarkers::modifiedParametersOf(const QWidget *control) const
{
    QVector<int> list;
    for (int index : m_controls.value(const_cast<QWidget *>(control)))
        if (m_modified.contains(index) && !list.contains(index))
            list << index;
    return list;
}

bool ModifiedMarkers::revert(int index)
{
    if (!m_safety->hasBaseConfiguration())
        return false;
    return ConfigSnapshot::applyValue(*m_config, index, m_safety->baseConfiguration().json(index));
}

void ModifiedMarkers::refresh()
{
    m_timer->stop();
    m_modified.clear();
    if (m_safety->hasBaseConfiguration()) {
        const QVector<int> differing = configDifferences(
            ConfigSnapshot::fromConfig(*m_config), m_safety->baseConfiguration());
        m_modified = QSet<int>(differing.begin(), differing.end());
    }

    // The bindings may have grown (dialogs bind their controls when they open).
    m_controls.clear();
    for (const ConfigBinder::BoundRow &row : m_binder->rows()) {
        auto *control = qobject_cast<QWidget *>(row.control);
        const ConfigParameter *p = findConfigParameter(row.parameter.constData());
        if (!control || !p)
            continue;
        if (!m_controls.contains(control)) {
            control->installEventFilter(this);
            for (QWidget *child : control->findChildren<QWidget *>())
                child->installEventFilter(this);
        }
        m_controls[control].append(p->index);
    }
    for (auto it = m_outlines.begin(); it != m_outlines.end();) {
        if (!m_controls.contains(it.key())) {
            delete it.value().data();
            it = m_outlines.erase(it);
        } else {
            ++it;
        }
    }

    QVector<QSet<int>> perTab(m_tabs->count());
    for (auto it = m_controls.constBegin(); it != m_controls.constEnd(); ++it) {
        const QVector<int> modified = modifiedParametersOf(it.key());
        mark(it.key(), !modified.isEmpty());
        for (int tab = 0; tab < m_tabs->count(); ++tab) {
            if (m_tabs->widget(tab)->isAncestorOf(it.key())) {
                for (int index : modified)
                    perTab[tab].insert(index);
            }
        }
    }
    // The Button Mapping tab's parameters, whichever controls show them.
    const int mappingTab
        = m_tabs->indexOf(m_tabs->findChild<QWidget *>(QStringLiteral("tab_mapping")));
    if (mappingTab >= 0) {
        for (const char *name : {"button_mapping", "button_inv_mask", "button_tgl_mask"}) {
            const int index = findConfigParameter(name)->index;
            if (m_modified.contains(index))
                perTab[mappingTab].insert(index);
        }
    }
    for (int tab = 0; tab < m_tabs->count() && tab < m_titles.size(); ++tab) {
        const int n = perTab[tab].size();
        m_tabs->setTabText(
            tab, n ? QStringLiteral("%1 (%2)").arg(m_titles.at(tab)).arg(n) : m_titles.at(tab));
    }
}

void ModifiedMarkers::mark(QWidget *control, bool on)
{
    QPointer<QWidget> &outline = m_outlines[control];
    if (!on) {
        delete outline.data();
        m_outlines.remove(control);
        return;
    }
    if (!outline && control->parentWidget()) {
        auto *o = new Outline(control);
        o->setToolTip(QStringLiteral("Differs from the base's configuration"));
        outline = o;
    }
    if (outline)
        static_cast<Outline *>(outline.data())->follow();
}

QWidget *ModifiedMarkers::controlFor(QObject *watched) const
{
    for (QObject *o = watched; o; o = o->parent()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (w && m_controls.contains(w))
            return w;
    }
    return nullptr;
}

bool ModifiedMarkers::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide: {
        auto *w = qobject_cast<QWidget *>(watched);
        const auto it = m_outlines.constFind(w);
        if (it != m_outlines.constEnd() && *it)
            static_cast<Outline *>(it->data())->follow();
        break;
    }
    case QEvent::ContextMenu: {
        QWidget *control = controlFor(watched);
        const QVector<int> modified = control ? modifiedParametersOf(control) : QVector<int>();
        if (modified.isEmpty())
            break;
        auto *e = static_cast<QContextMenuEvent *>(event);
        QMenu menu;
        menu.setObjectName(QStringLiteral("modified_menu"));
        for (int index : modified) {
            const QString text = modified.size() == 1
                ? QStringLiteral("Revert to the base's value")
                : QStringLiteral("Revert %1 to the base's value")
                      .arg(QString::fromLatin1(configParameter(index).name));
            QAction *a = menu.addAction(text, this, [this, index] { revert(index); });
            a->setToolTip(m_safety->baseConfiguration().displayValue(index));
        }
        // A text field keeps its own entries below ours.
        std::unique_ptr<QMenu> standard;
        if (auto *edit = qobject_cast<QLineEdit *>(watched)) {
            standard.reset(edit->createStandardContextMenu());
            menu.addSeparator();
            menu.addActions(standard->actions());
        }
        menu.exec(e->globalPos());
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
