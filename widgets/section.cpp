#include "section.h"

#include <QDebug>
#include <QPropertyAnimation>

Section::Section(const QString &title, int animationDuration, QWidget *parent)
    : QWidget(parent)
    , m_mainLayout(new QGridLayout)
    , m_toggleButton(new QToolButton(this))
    , m_headerLine(new QFrame(this))
    , m_toggleAnimation(new QParallelAnimationGroup(this))
    , m_contentArea(new QScrollArea(this))
    , m_animationDuration(animationDuration)
{
    m_toggleButton->setStyleSheet(QStringLiteral("QToolButton {border: none;}"));
    m_toggleButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toggleButton->setArrowType(Qt::RightArrow);
    m_toggleButton->setText(title);
    m_toggleButton->setCheckable(true);
    m_toggleButton->setChecked(false);

    m_headerLine->setFrameShape(QFrame::HLine);
    m_headerLine->setFrameShadow(QFrame::Sunken);
    m_headerLine->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);

    m_contentArea->setFrameShape(QFrame::NoFrame);
    m_contentArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_contentArea->setMaximumHeight(0);
    m_contentArea->setMinimumHeight(0);

    // The body's own animation must stay last: updateAnimationRanges() relies on it.
    m_toggleAnimation->addAnimation(new QPropertyAnimation(this, "maximumHeight"));
    m_toggleAnimation->addAnimation(new QPropertyAnimation(this, "minimumHeight"));
    m_toggleAnimation->addAnimation(new QPropertyAnimation(m_contentArea, "maximumHeight"));

    m_mainLayout->setVerticalSpacing(0);
    m_mainLayout->setContentsMargins(0, 0, 0, 0);
    m_mainLayout->addWidget(m_toggleButton, 0, 0, 1, 1, Qt::AlignLeft);
    m_mainLayout->addWidget(m_headerLine, 0, 2, 1, 1);
    m_mainLayout->addWidget(m_contentArea, 1, 0, 1, 3);
    setLayout(m_mainLayout);

    connect(m_toggleButton, &QToolButton::toggled, this, &Section::toggle);
}

void Section::updateAnimationRanges()
{
    QLayout *body = m_contentArea->layout();
    const int contentHeight = body ? body->sizeHint().height() : 0;
    const int count = m_toggleAnimation->animationCount();
    for (int i = 0; i < count; ++i) {
        auto *animation = static_cast<QPropertyAnimation *>(m_toggleAnimation->animationAt(i));
        animation->setDuration(m_animationDuration);
        if (i < count - 1) {
            animation->setStartValue(m_collapsedHeight);
            animation->setEndValue(m_collapsedHeight + contentHeight);
        } else {
            animation->setStartValue(0);
            animation->setEndValue(contentHeight);
        }
    }
}

void Section::toggle(bool collapsed)
{
    updateAnimationRanges();
    m_toggleButton->setArrowType(collapsed ? Qt::DownArrow : Qt::RightArrow);
    m_toggleAnimation->setDirection(
        collapsed ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
    m_toggleAnimation->start();
    m_expanded = collapsed;
    qDebug() << "MV: toggle: isExpanded " << (collapsed ? "true" : "false");
}

void Section::setBodyLayout(QLayout *layout)
{
    if (!layout)
        return;
    delete m_contentArea->layout();
    // A layout nested in another one must leave it before a widget can own it.
    if (auto *parentLayout = qobject_cast<QLayout *>(layout->parent()))
        parentLayout->removeItem(layout);
    layout->setParent(nullptr);
    m_contentArea->setLayout(layout);
    m_collapsedHeight = sizeHint().height() - m_contentArea->maximumHeight();
    updateAnimationRanges();
}
