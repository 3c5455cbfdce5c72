#pragma once

#include <QtGlobal>

namespace vigilux::detection {

// The detector's level bar as the detector sees it. MotionLevelBar
// implements it; tests use a recording fake. UI thread only.
class LevelIndicator {
public:
    virtual ~LevelIndicator() = default;

    // Moves the bar to a similarity percent (100 = unchanged); 0 is ignored.
    virtual void showLevel(qint32 value) = 0;

    // Sets the threshold (similarity percent) and draws its mark; the mark is
    // only redrawn when the value changed or `reset` is true.
    virtual void showThreshold(qint32 threshold, bool reset = false) = 0;

    // Shown while detection runs.
    virtual void setIndicatorVisible(bool visible) = 0;
};

} // namespace vigilux::detection
