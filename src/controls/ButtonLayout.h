#pragma once

#include <QRect>
#include <QSize>

namespace vigilux::controls {

// Places a push button's picture and caption in its content rectangle:
// centred together, `Gap` pixels apart, the picture above (0), left of (1),
// right of (2) or below (3) the caption. An empty size means "absent"; an
// absent part gets an empty rectangle.
namespace ButtonLayout {

inline constexpr int Gap = 4;
inline constexpr int Inset = 4;

struct Result {
    QRect picture;
    QRect caption;
};

Result place(const QRect& content, const QSize& captionSize, const QSize& pictureSize,
             int picturePosition);

} // namespace ButtonLayout
} // namespace vigilux::controls
