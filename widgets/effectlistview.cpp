#include "effectlistview.h"

MyView::MyView(QWidget *parent)
    : QListView(parent)
{
}

void MyView::applyEffectListSettings()
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMovement(QListView::Free);
    setResizeMode(QListView::Adjust);
    setLayoutMode(QListView::SinglePass);
    setAutoScrollMargin(50);
    setDropIndicatorShown(false);
}

QRegion MyView::visualRegionForSelection(const QItemSelection &) const
{
    return QRegion();
}
