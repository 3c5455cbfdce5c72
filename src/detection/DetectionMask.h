#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

// The areas the object detector ignores, as a small picture the user paints
// (black = ignore, anything lighter = watch), kept beside options.ini. The
// picture may have any size: it is stretched over the frame.
namespace vigilux::detection::DetectionMask {

// The mask at the detector's working size, 255 where it watches and 0 where
// it ignores; all 255 for a null mask. Nearest pixel, integer positions, so
// every machine reads the same mask.
std::vector<std::uint8_t> scaled(const QImage& mask, int width, int height);

// `mask` (or, when null, a new all-watching one of about 320 pixels wide
// in the frame's proportions) with `box` (frame pixels of a false alarm)
// painted black: "ignore this area" in one click.
QImage withIgnoredArea(const QImage& mask, const QSize& frameSize, const QRect& box);

} // namespace vigilux::detection::DetectionMask
