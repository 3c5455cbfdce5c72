#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <array>

namespace vigilux::video {

// Byte layout of one raw frame as a capture device stores it: the pixel
// format and where each plane starts. Lets the devices keep frames in their
// native format (what the detector compares) and convert to an image only
// when someone asks for one.
struct FrameLayout {
    enum class Pixel {
        Unknown,
        Rgb24,  // R,G,B
        Bgr24,  // B,G,R
        Bgrx32, // B,G,R,X (also B,G,R,A)
        Rgbx32, // R,G,B,X (also R,G,B,A)
        Xrgb32, // X,R,G,B (also A,R,G,B)
        Xbgr32, // X,B,G,R (also A,B,G,R)
        Gray8,
        Yuv420p, // Y plane, U plane, V plane (quarter size)
        Yv12,    // Y plane, V plane, U plane
        Yuv422p, // Y plane, U plane, V plane (half width)
        Nv12,    // Y plane, interleaved U,V plane
        Nv21,    // Y plane, interleaved V,U plane
        Yuyv,    // Y0,U,Y1,V
        Uyvy,    // U,Y0,V,Y1
    };

    QSize size;
    Pixel pixel = Pixel::Unknown;
    int planeCount = 0;
    std::array<int, 3> stride{};       // bytes per line of each plane
    std::array<qsizetype, 3> offset{}; // start of each plane in the buffer
    qsizetype bytes = 0;               // bytes used by all planes

    // A tightly packed single-plane RGB24 frame of the given size.
    static FrameLayout rgb24(QSize size);

    // The frame as the detector compares it, on live and recorded video
    // alike: the planes of `pixel` one after the other, rows without any
    // padding. Invalid for an unknown pixel or an empty size.
    static FrameLayout packed(Pixel pixel, QSize size);

    // Lines of plane `i` (chroma planes of 4:2:0 have half as many).
    int planeRows(int i) const;

    // Copies a frame whose planes lie anywhere, each with its own bytes per
    // line (a decoder's or a mapped video frame's), row by row into `out`
    // in this layout, leaving the source's row padding behind. This layout
    // must be packed(); `out` holds `bytes` bytes. False, with nothing
    // copied, when a source line is shorter than a packed one.
    bool pack(const std::array<const uchar*, 3>& planes, const std::array<int, 3>& lineBytes,
              uchar* out) const;

    bool isValid() const;

    // The frame as an RGB888 image (a deep copy), or a null image when the
    // layout is unknown or inconsistent with its byte count.
    QImage toImage(const uchar* data) const;

    // The frame as an RGB32 image of `target` size (each side at most the
    // frame's), nearest pixel: what a preview shows, converting only the
    // pixels it paints. Null as toImage() is.
    QImage toPreview(const uchar* data, QSize target) const;
    // The same into `image`, reusing its pixels when it already has the
    // size and format wanted (a preview painted ten times a second keeps
    // one buffer). False when the frame cannot be read.
    bool toPreview(const uchar* data, QSize target, QImage& image) const;

    static QString pixelName(Pixel pixel);
};

} // namespace vigilux::video
