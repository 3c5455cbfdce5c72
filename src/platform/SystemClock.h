#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

namespace vigilux::platform {

// The real clock: a steady nanosecond timer and the system's local time.
class SystemClock final : public Clock {
public:
    SystemClock();

    double steadyMs() const override;
    QDateTime now() const override;

private:
    QElapsedTimer m_timer;
};

} // namespace vigilux::platform
