#include "platform/SystemClock.h"

namespace vigilux::platform {

SystemClock::SystemClock() {
    m_timer.start();
}

double SystemClock::steadyMs() const {
    return static_cast<double>(m_timer.nsecsElapsed()) / 1e6;
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

} // namespace vigilux::platform
