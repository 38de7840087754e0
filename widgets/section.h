#pragma once

#include <QFrame>
#include <QGridLayout>
#include <QParallelAnimationGroup>
#include <QScrollArea>
#include <QToolButton>
#include <QWidget>

// A collapsible block: a header button with an arrow and a title, and a body that slides open
// and closed. Call setBodyLayout() right after construction.
class Section : public QWidget
{
    Q_OBJECT

public:
    explicit Section(
        const QString &title = QString(), int animationDuration = 100, QWidget *parent = nullptr);

    void setBodyLayout(QLayout *layout);

    bool isExpanded() const { return m_expanded; }
    QToolButton *headerButton() const { return m_toggleButton; }
    QScrollArea *bodyArea() const { return m_contentArea; }

public Q_SLOTS:
    // True expands the body, false collapses it.
    void toggle(bool collapsed);

private:
    void updateAnimationRanges();

    QGridLayout *m_mainLayout;
    QToolButton *m_toggleButton;
    QFrame *m_headerLine;
    QParallelAnimationGroup *m_toggleAnimation;
    QScrollArea *m_contentArea;
    int m_animationDuration;
    int m_collapsedHeight = 0;
    bool m_expanded = false;
};
