#pragma once

#include "platform/Clock.h"

namespace vigilux::test {

// A clock that moves only when the test moves it.
class FakeClock final : public platform::Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 6), QTime(21, 30, 5, 70)));

    double steadyMs() const override { return m_steadyMs; }
    QDateTime now() const override { return m_now; }

    // Moves both the steady and the wall clock forward.
    void advance(double ms);
    void setNow(const QDateTime& now) { m_now = now; }

private:
    double m_steadyMs = 0.0;
    QDateTime m_now;
};

} // namespace vigilux::test
