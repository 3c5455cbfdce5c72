#pragma once

#include <QImage>
#include <QPoint>
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

// `mask` (or a new all-watching one, as above) with a stroke of the mouse
// painted on it: from `from` to `to` (frame pixels), `radius` frame pixels
// wide on each side, black when `ignore`, else white (watched again).
QImage withStroke(const QImage& mask, const QSize& frameSize, const QPoint& from, const QPoint& to,
                  int radius, bool ignore);

// True when the mask ignores nothing (a null mask too): no file is kept.
bool ignoresNothing(const QImage& mask);

// The ignored areas of `mask` in `colour` (translucent, premultiplied), the
// rest transparent, for drawing over the picture; null for a null mask.
QImage shade(const QImage& mask, QRgb colour);

} // namespace vigilux::detection::DetectionMask
