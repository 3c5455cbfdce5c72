#include "platform/MediaClock.h"

#include <cmath>
#include <utility>

namespace vigilux::platform {

MediaClock::MediaClock(QDateTime origin)
    : m_origin(std::move(origin)) {}

QDateTime MediaClock::now() const {
    // Whole milliseconds, rounded down: a frame at 1999.6 ms still belongs
    // to the hundredth 1.99 s.
    return m_origin.addMSecs(static_cast<qint64>(std::floor(m_mediaMs)));
}

void MediaClock::setMediaMs(double ms) {
    m_mediaMs = ms > 0.0 ? ms : 0.0;
}

} // namespace vigilux::platform
