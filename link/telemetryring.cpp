#include "telemetryring.h"

#include <algorithm>
#include <cmath>
#include <limits>

TelemetryRing::TelemetryRing(int channelCount, int capacity)
    : m_channels(std::max(channelCount, 1))
    , m_capacity(std::max(capacity, 1))
    , m_time(size_t(m_capacity), 0)
    , m_values(size_t(m_channels) * size_t(m_capacity), 0)
{
}

void TelemetryRing::append(qint64 timeMs, const int32_t *values)
{
    int slot;
    if (m_size < m_capacity) {
        slot = int(physical(m_size));
        ++m_size;
    } else {
        slot = m_start;
        m_start = m_start + 1 == m_capacity ? 0 : m_start + 1;
    }
    m_time[size_t(slot)] = timeMs;
    for (int c = 0; c < m_channels; ++c)
        m_values[size_t(c) * size_t(m_capacity) + size_t(slot)] = values[c];
    ++m_appended;
}

void TelemetryRing::clear()
{
    m_start = 0;
    m_size = 0;
    m_appended = 0;
}

int TelemetryRing::lowerBound(double timeMs) const
{
    int lo = 0;
    int hi = m_size;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (double(timeAt(mid)) < timeMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int TelemetryRing::nearest(double timeMs) const
{
    if (m_size == 0)
        return -1;
    const int after = lowerBound(timeMs);
    if (after == 0)
        return 0;
    if (after == m_size)
        return m_size - 1;
    const double before = timeMs - double(timeAt(after - 1));
    const double later = double(timeAt(after)) - timeMs;
    return later < before ? after : after - 1;
}

void TelemetryRing::reduce(int channel, double t0, double t1, MinMaxColumn *out, int columns) const
{
    if (!out || columns < 1)
        return;
    std::fill(out, out + columns, MinMaxColumn());
    if (channel < 0 || channel >= m_channels || !(t1 > t0) || m_size == 0)
        return;
    const int begin = lowerBound(t0);
    const int end = lowerBound(t1);
    if (begin >= end)
        return;
    const double span = t1 - t0;
    // The column of a time: multiplied before dividing, so whole-millisecond ranges give
    // exact column borders.
    auto columnOf = [&](qint64 t) {
        const int c = int((double(t) - t0) * columns / span);
        return c < 0 ? 0 : (c >= columns ? columns - 1 : c);
    };
    // Sample times are whole milliseconds: the first time that falls in column c or later,
    // found once per column so that the loop below only compares.
    auto startOf = [&](int c) -> qint64 {
        if (c >= columns)
            return std::numeric_limits<qint64>::max();
        auto rawColumn = [&](qint64 t) { return (double(t) - t0) * columns / span; };
        qint64 t = qint64(std::ceil(t0 + double(c) * span / columns));
        while (rawColumn(t - 1) >= c)
            --t;
        while (rawColumn(t) < c)
            ++t;
        return t;
    };
    const int32_t *values = m_values.data() + size_t(channel) * size_t(m_capacity);
    int column = columnOf(timeAt(begin));
    qint64 next = startOf(column + 1);
    MinMaxColumn current;
    auto run = [&](size_t from, size_t to) {
        for (size_t p = from; p < to; ++p) {
            const qint64 t = m_time[p];
            if (t >= next) {
                if (current.count)
                    out[column] = current;
                current.count = 0;
                column = columnOf(t);
                next = startOf(column + 1);
            }
            const int32_t v = values[p];
            if (current.count == 0) {
                current.min = current.max = current.first = v;
            } else {
                current.min = std::min(current.min, v);
                current.max = std::max(current.max, v);
            }
            current.last = v;
            ++current.count;
        }
    };
    // The kept samples are at most two contiguous stretches of the arrays.
    const size_t first = physical(begin);
    const size_t lastExclusive = physical(end - 1) + 1;
    if (first < lastExclusive) {
        run(first, lastExclusive);
    } else {
        run(first, size_t(m_capacity));
        run(0, lastExclusive);
    }
    if (current.count)
        out[column] = current;
}
