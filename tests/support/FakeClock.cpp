#include "FakeClock.h"

#include <cmath>
#include <utility>

namespace vigilux::test {

FakeClock::FakeClock(QDateTime start)
    : m_now(std::move(start)) {}

void FakeClock::advance(double ms) {
    m_steadyMs += ms;
    m_now = m_now.addMSecs(static_cast<qint64>(std::llround(ms)));
}

} // namespace vigilux::test
