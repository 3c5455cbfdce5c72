#pragma once

#include "detection/BackgroundModel.h"
#include "detection/LumaScaler.h"
#include "detection/ObjectDetectorSettings.h"
#include "video/FrameLayout.h"

#include <QString>

#include <cstdint>

// Auto-calibration of the object detector: watches the empty scene for a few
// seconds (every frame, as the detector would) and measures its noise, how
// much the whole picture's brightness flickers and which share of it moves
// all the time, then proposes the thresholds and says in a few Russian
// sentences what it found, for the calibration window. Integer, like the
// detector; one thread.
namespace vigilux::detection {

class ObjectCalibration final {
public:
    static constexpr int kDefaultDurationMs = 5000;

    struct Result {
        ObjectDetectorSettings settings; // the proposal
        int noiseLevel = 0;              // median deviation, luma levels
        int flickerLevels = 0;           // half the range of the picture's brightness
        int busyHundredths = 0;          // share moving all the time
        bool sceneMoved = false;         // something crossed the scene meanwhile
        QString summary;
    };

    explicit ObjectCalibration(const ObjectDetectorSettings& base = {},
                               int durationMs = kDefaultDurationMs);

    // One frame; true once the measuring time has passed (then result()).
    bool addFrame(const std::uint8_t* data, qsizetype bytes, const video::FrameLayout& layout,
                  std::int64_t timeMs);
    bool done() const { return m_done; }
    Result result() const;

private:
    ObjectDetectorSettings m_base;
    int m_durationMs;
    LumaScaler m_scaler;
    LumaImage m_luma;
    BackgroundModel m_model;
    std::vector<std::uint8_t> m_foreground;
    std::int64_t m_firstMs = -1;
    std::int64_t m_lastMs = 0;
    int m_minShift = 0;
    int m_maxShift = 0;
    int m_movedFrames = 0;
    int m_measuredFrames = 0;
    bool m_done = false;
};

} // namespace vigilux::detection
