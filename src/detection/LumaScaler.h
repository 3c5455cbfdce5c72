#pragma once

#include "video/FrameLayout.h"

#include <QRect>

#include <cstdint>
#include <vector>

namespace cv {
class Mat;
}

// Turns a raw frame in any of FrameLayout's pixel layouts into an 8-bit luma
// picture about 320 pixels wide, by whole-number box averaging: a person of
// 0.5 % of the picture is still a few hundred pixels there, while the
// detector's work shrinks by the square of the factor. Integer arithmetic
// only, so every machine gets the same bytes. Not thread-safe (keeps a row
// accumulator); one instance per detector.
namespace vigilux::detection {

struct LumaImage {
    int width = 0;
    int height = 0;
    int factor = 1; // frame pixels per luma pixel along each axis
    std::vector<std::uint8_t> pixels;
};

class LumaScaler final {
public:
    static constexpr int kTargetWidth = 320;

    // The box size for a frame this wide: the nearest whole factor that
    // brings it to about kTargetWidth, never below 1.
    static int factorFor(int width);

    // Fills `out` with the reduced luma of `data` (`bytes` long) laid out as
    // `layout`. False, leaving `out` alone, when the layout is unknown or
    // the bytes are too few for it.
    bool scale(const std::uint8_t* data, qsizetype bytes, const video::FrameLayout& layout,
               LumaImage& out);

    // The full-size luma of `region` (clipped to the frame), or an empty
    // matrix under the same conditions as scale().
    static cv::Mat fullLuma(const std::uint8_t* data, qsizetype bytes,
                            const video::FrameLayout& layout, QRect region);

private:
    std::vector<std::uint32_t> m_rowSums;
};

} // namespace vigilux::detection
