#include "detection/ObjectTracker.h"

#include <algorithm>
#include <cstdlib>

namespace vigilux::detection {

namespace {

QPoint doubledCentre(const QRect& box) {
    return {2 * box.left() + box.width(), 2 * box.top() + box.height()};
}

int overlap(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : both.width() * both.height();
}

} // namespace

void ObjectTracker::reset() {
    m_tracks.clear();
    m_nextId = 1;
}

void ObjectTracker::update(std::vector<Blob> blobs, std::int64_t nowMs, const Rules& rules) {
    // Largest first, ties in reading order: the same frame always matches
    // the same way.
    std::sort(blobs.begin(), blobs.end(), [](const Blob& a, const Blob& b) {
        if (a.area != b.area)
            return a.area > b.area;
        if (a.box.top() != b.box.top())
            return a.box.top() < b.box.top();
        return a.box.left() < b.box.left();
    });
    for (Track& t : m_tracks)
        t.seenNow = false;
    for (const Blob& blob : blobs) {
        Track* best = nullptr;
        int bestOverlap = 0;
        for (Track& t : m_tracks) {
            if (t.seenNow)
                continue;
            // A fast object has moved by up to its own size since last seen.
            const int mx = std::max(2, t.box.width() / 2);
            const int my = std::max(2, t.box.height() / 2);
            const int o = overlap(t.box.adjusted(-mx, -my, mx, my), blob.box);
            if (o > bestOverlap) {
                bestOverlap = o;
                best = &t;
            }
        }
        if (!best) {
            Track t;
            t.id = m_nextId++;
            t.start = doubledCentre(blob.box);
            t.firstMs = nowMs;
            m_tracks.push_back(t);
            best = &m_tracks.back();
        }
        best->box = blob.box;
        best->area = blob.area;
        best->centre = doubledCentre(blob.box);
        best->lastMs = nowMs;
        best->seenNow = true;
        ++best->hits;
        if (!best->alarming && best->area >= rules.minArea &&
            best->hits >= rules.persistenceFrames && nowMs - best->firstMs >= rules.persistenceMs) {
            // Moved by a third of its smaller side (in doubled units) since
            // it appeared: a swaying branch stays where it is.
            const QPoint shift = best->centre - best->start;
            const int moved = std::max(std::abs(shift.x()), std::abs(shift.y()));
            const int needed = std::max(4, 2 * std::min(blob.box.width(), blob.box.height()) / 3);
            best->alarming = moved >= needed;
        }
    }
    std::erase_if(m_tracks, [&](const Track& t) { return nowMs - t.lastMs > rules.lostMs; });
}

} // namespace vigilux::detection
