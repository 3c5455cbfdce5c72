#pragma once

#include "video/FrameLayout.h"

namespace vigilux::video {

// The frame layout's pixel for one of FFmpeg's pixel formats (an
// AVPixelFormat), or Unknown for one the program does not read as it is.
// Shared by the file decoder and the network stream, so a stream and a
// recording of it are read alike.
FrameLayout::Pixel ffmpegPixel(int format);

} // namespace vigilux::video
