#pragma once
// The list of loaded effects. Rows cannot be selected, so the selection has no region to
// draw.

#include <QListView>

class MyView : public QListView
{
    Q_OBJECT

public:
    explicit MyView(QWidget *parent = nullptr);

    // The view settings of the loaded-effects list.
    void applyEffectListSettings();

protected:
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
};
