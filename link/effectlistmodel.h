#pragma once
// The force effects the base reports (type-4 messages): the latest report per effect id,
// rows in ascending id order, named roles for item views, and expiry of effects that stop
// being reported.

#include "wireformat.h"

#include <QAbstractListModel>
#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <array>
#include <cstdint>
#include <map>

// One effect report as a QObject with a property per field (for bindings; the list model
// keeps raw reports).
class EffectPacket : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint8_t enabled READ enabled WRITE set_enabled NOTIFY enabledChanged)
    Q_PROPERTY(uint8_t override READ override WRITE set_override NOTIFY overrideChanged)
    Q_PROPERTY(uint8_t type READ type WRITE set_type NOTIFY typeChanged)
    Q_PROPERTY(uint8_t effectId READ effectId WRITE set_effectId NOTIFY effectIdChanged)
    Q_PROPERTY(int16_t cpX READ cpX WRITE set_cpX NOTIFY cpXChanged)
    Q_PROPERTY(int16_t cpY READ cpY WRITE set_cpY NOTIFY cpYChanged)
    Q_PROPERTY(int16_t positiveCoefficientX READ positiveCoefficientX WRITE set_positiveCoefficientX
            NOTIFY positiveCoefficientXChanged)
    Q_PROPERTY(int16_t negativeCoefficientX READ negativeCoefficientX WRITE set_negativeCoefficientX
            NOTIFY negativeCoefficientXChanged)
    Q_PROPERTY(int16_t positiveCoefficientY READ positiveCoefficientY WRITE set_positiveCoefficientY
            NOTIFY positiveCoefficientYChanged)
    Q_PROPERTY(int16_t negativeCoefficientY READ negativeCoefficientY WRITE set_negativeCoefficientY
            NOTIFY negativeCoefficientYChanged)
    Q_PROPERTY(int16_t positiveSaturationX READ positiveSaturationX WRITE set_positiveSaturationX
            NOTIFY positiveSaturationXChanged)
    Q_PROPERTY(int16_t positiveSaturationY READ positiveSaturationY WRITE set_positiveSaturationY
            NOTIFY positiveSaturationYChanged)
    Q_PROPERTY(int16_t negativeSaturationX READ negativeSaturationX WRITE set_negativeSaturationX
            NOTIFY negativeSaturationXChanged)
    Q_PROPERTY(int16_t negativeSaturationY READ negativeSaturationY WRITE set_negativeSaturationY
            NOTIFY negativeSaturationYChanged)
    Q_PROPERTY(int16_t deadbandX READ deadbandX WRITE set_deadbandX NOTIFY deadbandXChanged)
    Q_PROPERTY(int16_t deadbandY READ deadbandY WRITE set_deadbandY NOTIFY deadbandYChanged)
    Q_PROPERTY(int16_t gain READ gain WRITE set_gain NOTIFY gainChanged)
    Q_PROPERTY(int16_t magnitude READ magnitude WRITE set_magnitude NOTIFY magnitudeChanged)
    Q_PROPERTY(int16_t directionX READ directionX WRITE set_directionX NOTIFY directionXChanged)
    Q_PROPERTY(int16_t directionY READ directionY WRITE set_directionY NOTIFY directionYChanged)
    Q_PROPERTY(int16_t phase READ phase WRITE set_phase NOTIFY phaseChanged)
    Q_PROPERTY(uint16_t period_ms READ period_ms WRITE set_period_ms NOTIFY period_msChanged)
    Q_PROPERTY(uint16_t duration READ duration WRITE set_duration NOTIFY durationChanged)
    Q_PROPERTY(uint8_t loop_count READ loop_count WRITE set_loop_count NOTIFY loop_countChanged)
    Q_PROPERTY(int16_t offset READ offset WRITE set_offset NOTIFY offsetChanged)

public:
    explicit EffectPacket(QObject *parent = nullptr);

    // Sets every property from a 30-byte report; false (nothing changed) when it is shorter.
    bool setReport(const uint8_t *report, int length);

    uint8_t enabled() const { return m_enabled; }
    uint8_t override() const { return m_override; }
    uint8_t type() const { return m_type; }
    uint8_t effectId() const { return m_effectId; }
    int16_t cpX() const { return m_cpX; }
    int16_t cpY() const { return m_cpY; }
    int16_t positiveCoefficientX() const { return m_positiveCoefficientX; }
    int16_t negativeCoefficientX() const { return m_negativeCoefficientX; }
    int16_t positiveCoefficientY() const { return m_positiveCoefficientY; }
    int16_t negativeCoefficientY() const { return m_negativeCoefficientY; }
    int16_t positiveSaturationX() const { return m_positiveSaturationX; }
    int16_t positiveSaturationY() const { return m_positiveSaturationY; }
    int16_t negativeSaturationX() const { return m_negativeSaturationX; }
    int16_t negativeSaturationY() const { return m_negativeSaturationY; }
    int16_t deadbandX() const { return m_deadbandX; }
    int16_t deadbandY() const { return m_deadbandY; }
    int16_t gain() const { return m_gain; }
    int16_t magnitude() const { return m_magnitude; }
    int16_t directionX() const { return m_directionX; }
    int16_t directionY() const { return m_directionY; }
    int16_t phase() const { return m_phase; }
    uint16_t period_ms() const { return m_period_ms; }
    uint16_t duration() const { return m_duration; }
    uint8_t loop_count() const { return m_loop_count; }
    int16_t offset() const { return m_offset; }

public Q_SLOTS:
    void set_enabled(uint8_t value);
    void set_override(uint8_t value);
    void set_type(uint8_t value);
    void set_effectId(uint8_t value);
    void set_cpX(int16_t value);
    void set_cpY(int16_t value);
    void set_positiveCoefficientX(int16_t value);
    void set_negativeCoefficientX(int16_t value);
    void set_positiveCoefficientY(int16_t value);
    void set_negativeCoefficientY(int16_t value);
    void set_positiveSaturationX(int16_t value);
    void set_positiveSaturationY(int16_t value);
    void set_negativeSaturationX(int16_t value);
    void set_negativeSaturationY(int16_t value);
    void set_deadbandX(int16_t value);
    void set_deadbandY(int16_t value);
    void set_gain(int16_t value);
    void set_magnitude(int16_t value);
    void set_directionX(int16_t value);
    void set_directionY(int16_t value);
    void set_phase(int16_t value);
    void set_period_ms(uint16_t value);
    void set_duration(uint16_t value);
    void set_loop_count(uint8_t value);
    void set_offset(int16_t value);

Q_SIGNALS:
    void enabledChanged(uint8_t enabled);
    void overrideChanged(uint8_t override);
    void typeChanged(uint8_t type);
    void effectIdChanged(uint8_t effectId);
    void cpXChanged(int16_t cpX);
    void cpYChanged(int16_t cpY);
    void positiveCoefficientXChanged(int16_t positiveCoefficientX);
    void negativeCoefficientXChanged(int16_t negativeCoefficientX);
    void positiveCoefficientYChanged(int16_t positiveCoefficientY);
    void negativeCoefficientYChanged(int16_t negativeCoefficientY);
    void positiveSaturationXChanged(int16_t positiveSaturationX);
    void positiveSaturationYChanged(int16_t positiveSaturationY);
    void negativeSaturationXChanged(int16_t negativeSaturationX);
    void negativeSaturationYChanged(int16_t negativeSaturationY);
    void deadbandXChanged(int16_t deadbandX);
    void deadbandYChanged(int16_t deadbandY);
    void gainChanged(int16_t gain);
    void magnitudeChanged(int16_t magnitude);
    void directionXChanged(int16_t directionX);
    void directionYChanged(int16_t directionY);
    void phaseChanged(int16_t phase);
    void period_msChanged(uint16_t period_ms);
    void durationChanged(uint16_t duration);
    void loop_countChanged(uint8_t loop_count);
    void offsetChanged(int16_t offset);

private:
    uint8_t m_enabled = 0;
    uint8_t m_override = 0;
    uint8_t m_type = 0;
    uint8_t m_effectId = 0;
    int16_t m_cpX = 0;
    int16_t m_cpY = 0;
    int16_t m_positiveCoefficientX = 0;
    int16_t m_negativeCoefficientX = 0;
    int16_t m_positiveCoefficientY = 0;
    int16_t m_negativeCoefficientY = 0;
    int16_t m_positiveSaturationX = 0;
    int16_t m_positiveSaturationY = 0;
    int16_t m_negativeSaturationX = 0;
    int16_t m_negativeSaturationY = 0;
    int16_t m_deadbandX = 0;
    int16_t m_deadbandY = 0;
    int16_t m_gain = 0;
    int16_t m_magnitude = 0;
    int16_t m_directionX = 0;
    int16_t m_directionY = 0;
    int16_t m_phase = 0;
    uint16_t m_period_ms = 0;
    uint16_t m_duration = 0;
    uint8_t m_loop_count = 0;
    int16_t m_offset = 0;
};

class EffectListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int kReportSize = wire::kEffectReportSize;
    static constexpr int kExpiryMs = 500;
    using Report = std::array<uint8_t, kReportSize>;

    enum Roles {
        EnabledRole = Qt::UserRole + 3, // 259
        OverrideRole,
        TypeRole,
        EffectIdRole,
        CpXRole,
        CpYRole,
        PositiveCoefficientXRole,
        NegativeCoefficientXRole,
        PositiveCoefficientYRole,
        NegativeCoefficientYRole,
        PositiveSaturationXRole,
        PositiveSaturationYRole,
        NegativeSaturationXRole,
        NegativeSaturationYRole,
        DeadbandXRole,
        DeadbandYRole,
        GainRole,
        MagnitudeRole,
        DirectionXRole,
        DirectionYRole,
        PhaseRole,
        PeriodMsRole,
        DurationRole,
        LoopCountRole,
        OffsetRole,
        EffectNameRole, // 284
    };

    explicit EffectListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Takes one report (type byte 4 first). A report shorter than 30 bytes is refused (false);
    // bytes after the 30th are ignored.
    bool updateEffect(const uint8_t *report, int length);
    bool updateEffect(const QByteArray &report);

    // The name of an effect type; "Invalid" for types without a name.
    static QString effectTypeName(int type);

    // Starts the 500 ms expiry timer (start-up calls this once).
    void startExpiryTimer();
    // Removes the first effect (ascending id) not reported for more than 500 ms; returns its
    // id, or -1 when none is due. The timer calls this once per tick.
    int expireOne();

Q_SIGNALS:
    void centerPositionChanged(int x, int y);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    std::map<int, Report> m_effects;
    // Monotonic milliseconds of the last report of each effect: unaffected by the time of
    // day, so nothing sticks across midnight or a clock change.
    std::map<int, qint64> m_lastSeen;
    QElapsedTimer m_clock;
    QBasicTimer m_expiryTimer;
};

#define TAVIK_EFFECT_PACKET_FIELDS(X)                                                              \
    X(uint8_t, enabled)                                                                            \
    X(uint8_t, override)                                                                           \
    X(uint8_t, type)                                                                               \
    X(uint8_t, effectId)                                                                           \
    X(int16_t, cpX)                                                                                \
    X(int16_t, cpY)                                                                                \
    X(int16_t, positiveCoefficientX)                                                               \
    X(int16_t, negativeCoefficientX)                                                               \
    X(int16_t, positiveCoefficientY)                                                               \
    X(int16_t, negativeCoefficientY)                                                               \
    X(int16_t, positiveSaturationX)                                                                \
    X(int16_t, positiveSaturationY)                                                                \
    X(int16_t, negativeSaturationX)                                                                \
    X(int16_t, negativeSaturationY)                                                                \
    X(int16_t, deadbandX)                                                                          \
    X(int16_t, deadbandY)                                                                          \
    X(int16_t, gain)                                                                               \
    X(int16_t, magnitude)                                                                          \
    X(int16_t, directionX)                                                                         \
    X(int16_t, directionY)                                                                         \
    X(int16_t, phase)                                                                              \
    X(uint16_t, period_ms)                                                                         \
    X(uint16_t, duration)                                                                          \
    X(uint8_t, loop_count)                                                                         \
    X(int16_t, offset)
