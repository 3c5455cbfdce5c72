#include "video/FfmpegPixel.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace vigilux::video {

FrameLayout::Pixel ffmpegPixel(int format) {
    switch (format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        return FrameLayout::Pixel::Yuv420p;
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUVJ422P:
        return FrameLayout::Pixel::Yuv422p;
    case AV_PIX_FMT_NV12:
        return FrameLayout::Pixel::Nv12;
    case AV_PIX_FMT_NV21:
        return FrameLayout::Pixel::Nv21;
    case AV_PIX_FMT_YUYV422:
        return FrameLayout::Pixel::Yuyv;
    case AV_PIX_FMT_UYVY422:
        return FrameLayout::Pixel::Uyvy;
    case AV_PIX_FMT_GRAY8:
        return FrameLayout::Pixel::Gray8;
    case AV_PIX_FMT_RGB24:
        return FrameLayout::Pixel::Rgb24;
    case AV_PIX_FMT_BGR24:
        return FrameLayout::Pixel::Bgr24;
    case AV_PIX_FMT_BGR0:
    case AV_PIX_FMT_BGRA:
        return FrameLayout::Pixel::Bgrx32;
    case AV_PIX_FMT_RGB0:
    case AV_PIX_FMT_RGBA:
        return FrameLayout::Pixel::Rgbx32;
    case AV_PIX_FMT_0RGB:
    case AV_PIX_FMT_ARGB:
        return FrameLayout::Pixel::Xrgb32;
    case AV_PIX_FMT_0BGR:
    case AV_PIX_FMT_ABGR:
        return FrameLayout::Pixel::Xbgr32;
    default:
        return FrameLayout::Pixel::Unknown;
    }
}

} // namespace vigilux::video
