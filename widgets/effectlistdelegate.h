#pragma once
// Draws one loaded effect as a small block of text: the title with id, type name and gain,
// then the parameters of its kind, greyed out while the effect is disabled. paint and
// sizeHint share one layout routine, which tests read as text.

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStyledItemDelegate>
#include <QVector>

class MyDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    struct Text
    {
        QPointF baseline; // left end of the text's baseline
        QString text;
    };
    struct Layout
    {
        QColor pen; // invalid: the palette's text colour
        QVector<Text> texts;
        int separatorY = 0;
        QSize size;

        // The lines of text, each made of its pieces left to right joined by '|'
        // ("Center|0|0"), for tests and diagnostics.
        QStringList lines() const;
    };

    static constexpr int kLeftMargin = 5;
    static constexpr int kMinTitleColumn = 130;
    static constexpr int kXColumn = 10;
    static constexpr int kYColumn = 60;
    static constexpr int kValueWidth = 110;

    explicit MyDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The layout of one effect row in rect with font.
    static Layout layout(const QModelIndex &index, const QFont &font, const QRect &rect);
};
