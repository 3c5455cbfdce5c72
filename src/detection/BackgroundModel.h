#pragma once

#include "detection/LumaScaler.h"
#include "detection/ObjectDetectorSettings.h"

#include <array>
#include <cstdint>
#include <vector>

// The scene as it looks without intruders, learnt per pixel of the reduced
// luma picture: a running mean (the background) and a running mean absolute
// deviation (how much the pixel wanders by itself: sensor noise, leaves,
// water, a screen). A pixel is foreground when it leaves its mean by more
// than max(floor, factor x deviation), so busy places need a bigger change.
//
// Before comparing, the frame's tone curve is matched to the background's
// (per brightness band, the median difference), which takes out a light
// switched, auto-exposure and slow daylight changes without touching a
// moving object (it never makes up half of a band). When the whole picture
// jumps anyway, the background is learnt again quickly for a few seconds
// and, meanwhile, objects are found by the tone-matched difference to the
// previous frame.
//
// Everything is integer (means in 1/256 level), so every machine gets the
// same masks. Not thread-safe.
namespace vigilux::detection {

class BackgroundModel final {
public:
    // What the last apply() saw of the picture as a whole.
    struct Frame {
        int toneShift = 0; // median luma difference to the background
        bool relearning = false;
        bool warmingUp = false;
        bool lightChange = false; // the whole picture jumped on this frame
    };

    // Forgets everything; the next frame starts a new model.
    void reset();

    // Compares `luma` with the background (the first frame, or one of
    // another size, starts the model), writes 255 into `foreground` where
    // a pixel differs (0 elsewhere; it is resized to the picture) and
    // learns from the frame. `dtMs` is the time since the last frame.
    Frame apply(const LumaImage& luma, int dtMs, const ObjectDetectorSettings& settings,
                std::vector<std::uint8_t>& foreground);

    bool empty() const { return m_mean.empty(); }
    // Whether a new model is still in its first seconds (it never alarms).
    bool warmingUp() const { return m_warmupLeftMs > 0; }
    // Median of the learnt deviations, in luma levels (the picture's noise).
    int noiseLevel() const;
    // Share, in hundredths of a percent, of pixels wandering more than
    // three times the median: the places that move all the time.
    int busyHundredths() const;
    std::size_t memoryBytes() const;

private:
    using ToneMap = std::array<std::uint8_t, 256>;
    // For each reference level, what this frame shows at it; returns the
    // median difference.
    template <typename Reference>
    int estimateTone(const LumaImage& luma, Reference reference, ToneMap& map);

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint16_t> m_mean;      // 1/256 level
    std::vector<std::uint16_t> m_deviation; // 1/256 level
    std::vector<std::uint8_t> m_previous;
    std::vector<std::uint8_t> m_expected;  // the background's level per pixel now, reused
    std::vector<std::int32_t> m_histogram; // bands x differences, reused
    ToneMap m_toBackground{};
    ToneMap m_toPrevious{};
    int m_warmupLeftMs = 0;
    int m_relearnLeftMs = 0;
};

} // namespace vigilux::detection
