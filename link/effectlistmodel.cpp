#include "effectlistmodel.h"

#include "linklog.h"

#include <QDebug>
#include <QTimerEvent>

#include <algorithm>
#include <cstring>

namespace {

const char *const kTypeNames[] = {"Invalid", "Constant", "Ramp", "Square", "Sine", "Triangle",
    "SawtoothUp", "SawtoothDown", "Spring", "Damper", "Inertia", "Friction", "Custom", "External"};
constexpr int kTypeNameCount = int(sizeof(kTypeNames) / sizeof(kTypeNames[0]));

inline int16_t s16(const uint8_t *r, int offset)
{
    return int16_t(uint16_t(r[offset] | (r[offset + 1] << 8)));
}
inline uint16_t u16(const uint8_t *r, int offset)
{
    return uint16_t(r[offset] | (r[offset + 1] << 8));
}

} // namespace

EffectPacket::EffectPacket(QObject *parent)
    : QObject(parent)
{
}

bool EffectPacket::setReport(const uint8_t *r, int length)
{
    if (!r || length < EffectListModel::kReportSize)
        return false;
    set_enabled(r[5] & 1);
    set_override((r[5] >> 1) & 1);
    set_type(r[2]);
    set_effectId(r[1]);
    set_cpX(s16(r, 6));
    set_cpY(s16(r, 8));
    set_positiveCoefficientX(s16(r, 10));
    set_negativeCoefficientX(s16(r, 12));
    set_positiveCoefficientY(s16(r, 14));
    set_negativeCoefficientY(s16(r, 16));
    set_positiveSaturationX(s16(r, 18));
    set_positiveSaturationY(s16(r, 20));
    set_negativeSaturationX(s16(r, 22));
    set_negativeSaturationY(s16(r, 24));
    set_deadbandX(s16(r, 26));
    set_deadbandY(s16(r, 28));
    set_gain(s16(r, 3));
    set_magnitude(s16(r, 10));
    set_directionX(s16(r, 6));
    set_directionY(s16(r, 8));
    set_phase(s16(r, 12));
    set_period_ms(u16(r, 16));
    set_duration(u16(r, 18));
    set_loop_count(r[20]);
    set_offset(s16(r, 14));
    return true;
}

#define TAVIK_EFFECT_SETTER(type, name)                                                            \
    void EffectPacket::set_##name(type value)                                                      \
    {                                                                                              \
        if (m_##name == value)                                                                     \
            return;                                                                                \
        m_##name = value;                                                                          \
        Q_EMIT name##Changed(value);                                                               \
    }
TAVIK_EFFECT_PACKET_FIELDS(TAVIK_EFFECT_SETTER)
#undef TAVIK_EFFECT_SETTER

EffectListModel::EffectListModel(QObject *parent)
    : QAbstractListModel(parent)
{
    m_clock.start();
}

int EffectListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_effects.size());
}

QString EffectListModel::effectTypeName(int type)
{
    if (type < 0 || type >= kTypeNameCount)
        return QString::fromLatin1(kTypeNames[0]);
    return QString::fromLatin1(kTypeNames[type]);
}

QVariant EffectListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.column() != 0 || index.row() < 0
        || index.row() >= int(m_effects.size()))
        return QVariant();
    auto it = m_effects.begin();
    std::advance(it, index.row());
    const uint8_t *r = it->second.data();
    switch (role) {
    case EnabledRole:
        return int(r[5] & 1);
    case OverrideRole:
        return int((r[5] >> 1) & 1);
    case TypeRole:
        return int(r[2]);
    case EffectIdRole:
        return int(r[1]);
    case CpXRole:
    case DirectionXRole:
        return int(s16(r, 6));
    case CpYRole:
    case DirectionYRole:
        return int(s16(r, 8));
    case PositiveCoefficientXRole:
    case MagnitudeRole:
        return int(s16(r, 10));
    case NegativeCoefficientXRole:
    case PhaseRole:
        return int(s16(r, 12));
    case PositiveCoefficientYRole:
    case OffsetRole:
        return int(s16(r, 14));
    case NegativeCoefficientYRole:
        return int(s16(r, 16));
    case PositiveSaturationXRole:
        return int(s16(r, 18));
    case PositiveSaturationYRole:
        return int(s16(r, 20));
    case NegativeSaturationXRole:
        return int(s16(r, 22));
    case NegativeSaturationYRole:
        return int(s16(r, 24));
    case DeadbandXRole:
        return int(s16(r, 26));
    case DeadbandYRole:
        return int(s16(r, 28));
    case GainRole:
        return int(s16(r, 3));
    case PeriodMsRole:
        return int(u16(r, 16));
    case DurationRole:
        return int(u16(r, 18));
    case LoopCountRole:
        return int(r[20]);
    case EffectNameRole:
        return effectTypeName(r[2]);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> EffectListModel::roleNames() const
{
    return {
        {EnabledRole, "enabled"},
        {OverrideRole, "override"},
        {TypeRole, "type"},
        {EffectIdRole, "effectId"},
        {CpXRole, "cpX"},
        {CpYRole, "cpY"},
        {PositiveCoefficientXRole, "positiveCoefficientX"},
        {NegativeCoefficientXRole, "negativeCoefficientX"},
        {PositiveCoefficientYRole, "positiveCoefficientY"},
        {NegativeCoefficientYRole, "negativeCoefficientY"},
        {PositiveSaturationXRole, "positiveSaturationX"},
        {PositiveSaturationYRole, "positiveSaturationY"},
        {NegativeSaturationXRole, "negativeSaturationX"},
        {NegativeSaturationYRole, "negativeSaturationY"},
        {DeadbandXRole, "deadbandX"},
        {DeadbandYRole, "deadbandY"},
        {GainRole, "gain"},
        {MagnitudeRole, "magnitude"},
        {DirectionXRole, "directionX"},
        {DirectionYRole, "directionY"},
        {PhaseRole, "phase"},
        {PeriodMsRole, "period_ms"},
        {DurationRole, "duration"},
        {LoopCountRole, "loop_count"},
        {OffsetRole, "offset"},
        {EffectNameRole, "effectName"},
    };
}

bool EffectListModel::updateEffect(const QByteArray &report)
{
    return updateEffect(reinterpret_cast<const uint8_t *>(report.constData()), report.size());
}

bool EffectListModel::updateEffect(const uint8_t *report, int length)
{
    if (!report || length < kReportSize) {
        qCWarning(lcLink) << "effect report of" << length << "bytes refused, expected"
                          << kReportSize;
        return false;
    }
    Report r;
    std::memcpy(r.data(), report, kReportSize);
    const int id = r[1];
    auto it = m_effects.find(id);
    if (it != m_effects.end()) {
        if (it->second != r) {
            qDebug() << "update effect id" << id << (r[5] & 1);
            it->second = r;
            const int row = int(std::distance(m_effects.begin(), it));
            const QModelIndex idx = index(row, 0);
            Q_EMIT dataChanged(idx, idx);
        }
    } else {
        const int row = int(std::distance(m_effects.begin(), m_effects.lower_bound(id)));
        beginInsertRows(QModelIndex(), row, row);
        m_effects.emplace(id, r);
        endInsertRows();
    }
    if (r[2] == 8 && (r[5] & 1))
        Q_EMIT centerPositionChanged(int(s16(r.data(), 6)), int(s16(r.data(), 8)));
    m_lastSeen[id] = m_clock.elapsed();
    return true;
}

void EffectListModel::startExpiryTimer()
{
    m_expiryTimer.start(kExpiryMs, Qt::CoarseTimer, this);
}

int EffectListModel::expireOne()
{
    const qint64 now = m_clock.elapsed();
    for (auto it = m_lastSeen.begin(); it != m_lastSeen.end(); ++it) {
        if (now - it->second <= kExpiryMs)
            continue;
        const int id = it->first;
        auto e = m_effects.find(id);
        if (e != m_effects.end()) {
            const int row = int(std::distance(m_effects.begin(), e));
            beginRemoveRows(QModelIndex(), row, row);
            m_effects.erase(e);
            endRemoveRows();
        }
        m_lastSeen.erase(it);
        return id;
    }
    return -1;
}

void EffectListModel::timerEvent(QTimerEvent *event)
{
    // Start-up may run the expiry on a timer of its own (QObject::startTimer) or through
    // startExpiryTimer(); either tick expires at most one effect.
    Q_UNUSED(event);
    expireOne();
}
