#include "effectlistdelegate.h"

#include "effectlistmodel.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFirstConditionType = 8;
constexpr int kLastConditionType = 13;

int roleInt(const QModelIndex &index, int role)
{
    return index.data(role).toInt();
}

} // namespace

QStringList MyDelegate::Layout::lines() const
{
    QStringList out;
    qreal lastY = -1e9;
    for (const Text &t : texts) {
        if (out.isEmpty() || t.baseline.y() != lastY)
            out.append(t.text);
        else
            out.last() += QLatin1Char('|') + t.text;
        lastY = t.baseline.y();
    }
    return out;
}

MyDelegate::MyDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

MyDelegate::Layout MyDelegate::layout(
    const QModelIndex &index, const QFont &font, const QRect &rect)
{
    Layout out;
    const QFontMetrics metrics(font);
    const int h = metrics.height();
    const int left = rect.left() + kLeftMargin;
    int y = rect.top() + h;
    auto put = [&out](qreal x, int baseline, const QString &text) {
        out.texts.append(Text {QPointF(x, baseline), text});
    };

    const bool enabled = index.data(EffectListModel::EnabledRole).toBool();
    if (!enabled)
        out.pen = QColor(QStringLiteral("grey"));

    const int type = roleInt(index, EffectListModel::TypeRole);
    const int gain = roleInt(index, EffectListModel::GainRole);
    const QString title = QStringLiteral("ID:%1 %2 (%3%)")
                              .arg(roleInt(index, EffectListModel::EffectIdRole))
                              .arg(index.data(EffectListModel::EffectNameRole).toString())
                              .arg(gain * 100 / 4096);
    const int column = left + std::max(kMinTitleColumn, metrics.horizontalAdvance(title));
    put(left, y, title);

    auto pairLine = [&](const QString &label, int xValue, int yValue) {
        y += h;
        put(left, y, label);
        put(column + kXColumn, y, QString::number(xValue));
        put(column + kYColumn, y, QString::number(yValue));
    };
    auto valueLine = [&](const QString &label, const QString &value) {
        y += h;
        put(left, y, label);
        put(column + kXColumn, y, value);
    };

    if (type >= kFirstConditionType && type <= kLastConditionType) {
        put(column + kXColumn, y, QStringLiteral("X"));
        put(column + kYColumn, y, QStringLiteral("Y"));
        if (index.data(EffectListModel::OverrideRole).toBool()) {
            y += h;
            put(left, y, QStringLiteral("[OVRD]"));
        }
        pairLine(QStringLiteral("Center"), roleInt(index, EffectListModel::CpXRole),
            roleInt(index, EffectListModel::CpYRole));
        auto pairs = [&](const QString &name, int posX, int negX, int posY, int negY) {
            if (posX == negX && posY == negY) {
                pairLine(name, posX, posY);
            } else {
                pairLine(name + QLatin1Char('+'), posX, posY);
                pairLine(name + QLatin1Char('-'), negX, negY);
            }
        };
        pairs(QStringLiteral("Coefficient"),
            roleInt(index, EffectListModel::PositiveCoefficientXRole),
            roleInt(index, EffectListModel::NegativeCoefficientXRole),
            roleInt(index, EffectListModel::PositiveCoefficientYRole),
            roleInt(index, EffectListModel::NegativeCoefficientYRole));
        pairs(QStringLiteral("Saturation"),
            roleInt(index, EffectListModel::PositiveSaturationXRole),
            roleInt(index, EffectListModel::NegativeSaturationXRole),
            roleInt(index, EffectListModel::PositiveSaturationYRole),
            roleInt(index, EffectListModel::NegativeSaturationYRole));
        pairLine(QStringLiteral("Deadband"), roleInt(index, EffectListModel::DeadbandXRole),
            roleInt(index, EffectListModel::DeadbandYRole));
    } else if (type < kFirstConditionType) {
        const double degrees = std::atan2(-double(roleInt(index, EffectListModel::DirectionXRole)),
                                   double(roleInt(index, EffectListModel::DirectionYRole)))
            * 180.0 / M_PI;
        const int direction = (int(degrees) + 360) % 360;
        valueLine(QStringLiteral("Direction"), QStringLiteral("%1°").arg(direction));
        valueLine(QStringLiteral("Magnitude"),
            QString::number(roleInt(index, EffectListModel::MagnitudeRole)));
        valueLine(QStringLiteral("Phase"),
            QStringLiteral("%1°").arg(roleInt(index, EffectListModel::PhaseRole) * 360 / 255));
        const int period = roleInt(index, EffectListModel::PeriodMsRole);
        const double hz = period == 0 ? 0.0 : 1000.0 / period;
        valueLine(QStringLiteral("Period(ms)"),
            QStringLiteral("%1ms (%2Hz)").arg(period).arg(hz, 0, 'f', 1));
        valueLine(QStringLiteral("Duration(ms)"),
            QStringLiteral("%1ms").arg(roleInt(index, EffectListModel::DurationRole)));
    }
    // Types above 13 have no name and no known reading: the title alone says "Invalid".

    out.separatorY = y + h / 2;
    out.size = QSize(column - rect.left() + kValueWidth, out.separatorY - rect.top() + 1);
    return out;
}

void MyDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Layout l = layout(index, option.font, option.rect);
    painter->save();
    painter->setFont(option.font);
    painter->setPen(l.pen.isValid() ? l.pen : option.palette.color(QPalette::Text));
    for (const Text &t : l.texts)
        painter->drawText(t.baseline, t.text);
    painter->setPen(QColor(QStringLiteral("#ccc")));
    painter->drawLine(option.rect.left(), l.separatorY, option.rect.right(), l.separatorY);
    painter->restore();
}

QSize MyDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return layout(index, option.font, QRect(QPoint(0, 0), option.rect.size())).size;
}
