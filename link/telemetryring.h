#pragma once
// A fixed-size store of the most recent telemetry samples: one monotonic time in milliseconds
// per sample and one integer value per channel. Every sample is kept until the store is full;
// then the oldest is overwritten. The min/max reduction turns any stretch of it into one
// min/max pair per pixel column, so a single extreme sample is never lost on screen.

#include <QtGlobal>

#include <cstdint>
#include <vector>

// What one column of a reduced stretch holds; count 0 means no sample fell into it.
struct MinMaxColumn
{
    int32_t min = 0;
    int32_t max = 0;
    int32_t first = 0;
    int32_t last = 0;
    int count = 0;
};

class TelemetryRing
{
public:
    // channelCount and capacity are at least 1.
    TelemetryRing(int channelCount, int capacity);

    int channelCount() const { return m_channels; }
    int capacity() const { return m_capacity; }
    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Samples appended since construction or clear(), including overwritten ones.
    qint64 appendedCount() const { return m_appended; }

    // values holds channelCount() values. Times are expected not to decrease; the caller
    // extends the base's 16-bit stamp to make sure of it.
    void append(qint64 timeMs, const int32_t *values);
    void clear();

    // Sample i counts from the oldest kept one (0) to the newest (size() - 1).
    qint64 timeAt(int i) const { return m_time[physical(i)]; }
    int32_t valueAt(int channel, int i) const
    {
        return m_values[size_t(channel) * size_t(m_capacity) + physical(i)];
    }
    qint64 firstTime() const { return m_size ? timeAt(0) : 0; }
    qint64 lastTime() const { return m_size ? timeAt(m_size - 1) : 0; }

    // Index of the first sample whose time is at least timeMs; size() when there is none.
    int lowerBound(double timeMs) const;
    // Index of the sample whose time is nearest to timeMs (the earlier one on a tie); -1 when
    // empty.
    int nearest(double timeMs) const;

    // Reduces the samples with t0 <= time < t1 of one channel into `columns` equal columns:
    // column c covers [t0 + c * w, t0 + (c + 1) * w) with w = (t1 - t0) / columns. Every
    // sample in the range lands in exactly one column. Columns with no sample get count 0.
    // Out-of-range channels, an empty range or columns < 1 give all-empty columns.
    void reduce(int channel, double t0, double t1, MinMaxColumn *out, int columns) const;

private:
    size_t physical(int i) const
    {
        int p = m_start + i;
        if (p >= m_capacity)
            p -= m_capacity;
        return size_t(p);
    }

    int m_channels;
    int m_capacity;
    int m_start = 0;
    int m_size = 0;
    qint64 m_appended = 0;
    std::vector<qint64> m_time;
    // Channel-major: channel c's values are [c * capacity, (c + 1) * capacity).
    std::vector<int32_t> m_values;
};
