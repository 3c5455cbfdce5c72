#pragma once

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <vector>

// Follows the foreground regions of the reduced picture from frame to frame
// (by the overlap of their boxes) and decides which are objects worth an
// alarm: big enough, seen over several frames for a while, and moved from
// where they first appeared. Leaves and ripples come and go in place; a
// person keeps coming and gets somewhere. Integer only; not thread-safe.
namespace vigilux::detection {

struct Blob {
    QRect box; // reduced-picture pixels
    int area = 0;
};

struct Track {
    int id = 0;
    QRect box;
    int area = 0;
    QPoint start;  // centre of the box when first seen (doubled, to stay whole)
    QPoint centre; // the same, now
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
    int hits = 0;
    bool seenNow = false;
    bool alarming = false;
    bool person = false;
    std::int64_t personTriedMs = -1;
};

class ObjectTracker final {
public:
    struct Rules {
        int minArea = 1; // reduced-picture pixels
        int persistenceMs = 0;
        int persistenceFrames = 1;
        int lostMs = 700; // a track unseen this long is dropped
    };

    void reset();
    // This frame's regions, at media time `nowMs`.
    void update(std::vector<Blob> blobs, std::int64_t nowMs, const Rules& rules);
    std::vector<Track>& tracks() { return m_tracks; }
    const std::vector<Track>& tracks() const { return m_tracks; }

private:
    std::vector<Track> m_tracks;
    int m_nextId = 1;
};

} // namespace vigilux::detection
