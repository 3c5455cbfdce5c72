#pragma once

#include "platform/Clock.h"
#include "video/FrameLayout.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace vigilux::video {

// A cheap fingerprint of one frame for the health checks: the luma of a
// fixed grid of single pixels (single pixels, not block means, so a live
// sensor's noise shows as change while a repeated frame does not), and how
// far those samples spread.
struct FrameSignature {
    static constexpr int Columns = 32;
    static constexpr int Rows = 24;

    std::array<std::uint8_t, Columns * Rows> luma{};
    double spread = 0; // standard deviation of the samples, in luma levels
    bool valid = false;

    // Samples a frame as a capture device keeps it; invalid for an unknown
    // layout or a null buffer.
    static FrameSignature of(const video::FrameLayout& layout, const std::uint8_t* data);

    // Mean absolute difference of the samples, in luma levels.
    double distance(const FrameSignature& other) const;
};

// Watches any camera for the ways it fails without an error: no frames any
// more (lost), the same picture over and over (frozen: a stream repeating
// one frame, a hung camera) and a picture of nearly one colour (covered or
// dark). Each alert is reported once per outage, and Restored once when
// every problem has cleared.
//
// Fed every delivered frame and ticked by a timer (lost can only be noticed
// by a tick); both return the alerts they raise, in order. Times come from
// the clock. Not thread-safe; use it on the thread that owns the clock.
class CameraHealth final {
public:
    enum class Alert { Lost, Frozen, Covered, Restored };

    struct Limits {
        double lostMs = 10000;
        double frozenMs = 30000;
        double coveredMs = 10000;
        double sameDistance = 0.5; // frames closer than this are the same picture
        double uniformSpread = 6;  // a picture spreading less is nearly one colour
    };

    explicit CameraHealth(const platform::Clock& clock);
    CameraHealth(const platform::Clock& clock, Limits limits);

    // Starts watching afresh (at watch start, after a source change): no
    // alerts pending, lost counted from now.
    void restart();

    std::vector<Alert> frame(const FrameSignature& signature);
    std::vector<Alert> tick();

    bool lost() const { return m_lost; }
    bool frozen() const { return m_frozen; }
    bool covered() const { return m_covered; }

    // Russian text for the status line, balloon and messages.
    static QString text(Alert alert);

private:
    bool failing() const { return m_lost || m_frozen || m_covered; }
    void clearIfHealthy(bool wasFailing, std::vector<Alert>& out);

    const platform::Clock& m_clock;
    Limits m_limits;
    double m_lastFrameMs = 0;
    FrameSignature m_reference; // first frame of the current run of equal pictures
    double m_sameSinceMs = 0;
    double m_uniformSinceMs = -1; // -1: the picture is not uniform
    bool m_lost = false;
    bool m_frozen = false;
    bool m_covered = false;
};

} // namespace vigilux::video
