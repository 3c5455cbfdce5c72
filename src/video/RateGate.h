#pragma once

#include <QtGlobal>

#include <algorithm>
#include <atomic>

namespace vigilux::video {

// Lets at most one frame per interval through, on average, given each
// frame's time in ms. A quarter interval of slack absorbs jitter; the due
// time advances by whole intervals, so the average rate never exceeds one
// frame per interval. After a stall it restarts from the late frame rather
// than letting a burst through.
class RateGate final {
public:
    // Values below 1 are taken as 1; a new interval starts afresh.
    void setInterval(int ms) {
        m_intervalMs = std::max(1, ms);
        m_nextDueMs = 0;
    }
    int interval() const { return m_intervalMs; }
    void reset() { m_nextDueMs = 0; }

    // True when a frame at `ms` is due; a true answer commits the slot.
    bool pass(qint64 ms) {
        const qint64 slack = m_intervalMs / 4;
        if (ms < m_nextDueMs - slack)
            return false;
        m_nextDueMs = std::max(m_nextDueMs, ms - slack) + m_intervalMs;
        return true;
    }

private:
    int m_intervalMs = 1;
    qint64 m_nextDueMs = 0;
};

// The preview's flag and rate as the UI thread last set them, read by a
// decoder thread that applies the rate itself, on its own frame times,
// before a frame is packed: a frame nobody takes costs only its decoding.
class SharedRate final {
public:
    void set(bool wanted, int intervalMs) {
        m_wanted.store(wanted, std::memory_order_relaxed);
        m_intervalMs.store(intervalMs, std::memory_order_relaxed);
    }
    bool wanted() const { return m_wanted.load(std::memory_order_relaxed); }

    // Whether a frame at `ms` is taken: frames are wanted and `gate`, kept
    // at the current rate, lets it through.
    bool pass(RateGate& gate, qint64 ms) const {
        const int interval = m_intervalMs.load(std::memory_order_relaxed);
        if (interval != gate.interval())
            gate.setInterval(interval);
        return wanted() && gate.pass(ms);
    }

private:
    std::atomic<bool> m_wanted{false};
    std::atomic<int> m_intervalMs{1};
};

} // namespace vigilux::video
