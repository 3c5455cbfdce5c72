#pragma once

#include "core/Result.h"
#include "video/FrameLayout.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace vigilux::video {

// A point on a file's timeline: `ticks` units of num/den seconds from the
// file's first frame. Kept exact so the tick rule ("first frame at or after
// each tick") never depends on floating-point rounding.
struct MediaTime {
    std::int64_t ticks = 0;
    int num = 1;
    int den = 1000;

    // Whole milliseconds, rounded down.
    std::int64_t floorMs() const;
    // Is this time at or after `ms` milliseconds?
    bool atOrAfter(std::int64_t ms) const;
    // The number of whole `periodMs` periods that have fully passed by this
    // time (floor(time / period)); periodMs > 0.
    std::int64_t periodsPassed(std::int64_t periodMs) const;
};

// Hands over every frame of a video file, in presentation order, frame-exact
// and deterministic: one decoder thread, bit-exact decoding and conversion.
// A frame is decoded by next(); picture() packs it in the decoder's own
// pixel layout (what the detector compares, as on live video) and rgb24()
// converts it for saving, each only when asked, so frames that are merely
// passed over cost nothing more than decoding.
//
// Not thread-safe; one instance per file. Uses FFmpeg's libavformat,
// libavcodec and libswscale.
class VideoDecoder final {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens the file's first video stream (cover pictures are not video).
    // Fails with the reason when the file is missing, unreadable, not a
    // media file or holds no decodable video.
    core::Status open(const QString& path);

    int width() const;
    int height() const;
    // The frame rate the file states, or 0 when it does not say.
    double frameRate() const;
    // The stream's length in milliseconds, or -1 when the file does not say.
    std::int64_t durationMs() const;
    // The recording time the file states (its "creation_time" tag), in UTC.
    std::optional<QDateTime> recordedAt() const;

    // Decodes the next frame. False at the end of the file; a damaged packet
    // is skipped (the same way on every run), not treated as the end.
    bool next();
    // Time of the frame last returned by next(), from the first frame, on
    // one continuous timeline: where the file's timestamps jump back (or
    // more than a minute ahead), time goes on one frame after the last frame
    // before the jump.
    MediaTime time() const;
    // Frames returned by next() so far.
    std::int64_t frameCount() const;
    // Timestamp jumps passed so far, and the time of the first.
    std::int64_t timestampJumps() const;
    MediaTime firstJumpTime() const;
    // Is the frame last returned by next() marked damaged by the decoder
    // (concealed errors, a missing reference)? Its picture is partly made up.
    bool corrupt() const;
    // Is its picture whole: not corrupt, and no damage since the last key
    // frame it was predicted from? Only such frames are worth comparing.
    bool trustworthy() const;
    // Packets and frames the decoder refused so far.
    std::int64_t decodeErrors() const;
    // Frames returned by next() that were corrupt().
    std::int64_t corruptFrames() const;
    // decodeErrors() + corruptFrames().
    std::int64_t damagedCount() const;
    // The layout of picture(): the first frame's pixel format when it is
    // one of FrameLayout's, otherwise 4:2:0 planar, at the first frame's
    // size, packed.
    const video::FrameLayout& layout() const;
    // The current frame in layout(), layout().bytes bytes; valid until the
    // next call of next(). A frame of another format or size than the first
    // is converted to it. Null if that conversion failed.
    const std::uint8_t* picture();
    // The same picture packed straight into `out` (layout().bytes bytes),
    // for a caller that keeps frames in buffers of its own. False if the
    // conversion failed.
    bool pictureInto(std::uint8_t* out);
    // The current frame's planes as decoded (first bytes and line lengths,
    // unused planes null), when they already are in layout()'s format and
    // size: their rows are picture()'s bytes, so a caller can read them
    // where they lie instead of having them packed. False when the frame
    // has to be converted; picture() does that.
    bool planes(std::array<const std::uint8_t*, 3>& data, std::array<int, 3>& lineBytes) const;
    // The current frame as RGB24, width() * height() * 3 bytes, in the
    // file's own colours; valid until the next call of next(). Null if the
    // conversion failed.
    const std::uint8_t* rgb24();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vigilux::video
