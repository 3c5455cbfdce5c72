#pragma once

#include "platform/Clock.h"

namespace vigilux::platform {

// A clock that follows a video file's timeline instead of the wall: the
// replay sets it to each frame's media time, so speed readings and the time
// texts in saved file names come out the same on every run. now() is the
// origin plus the media time, in the origin's time zone (UTC for replay, so
// the machine's time zone does not change the names).
class MediaClock final : public Clock {
public:
    explicit MediaClock(QDateTime origin);

    double steadyMs() const override { return m_mediaMs; }
    QDateTime now() const override;

    // Media time in milliseconds from the file's first frame; never negative.
    void setMediaMs(double ms);
    QDateTime origin() const { return m_origin; }

private:
    QDateTime m_origin;
    double m_mediaMs = 0.0;
};

} // namespace vigilux::platform
