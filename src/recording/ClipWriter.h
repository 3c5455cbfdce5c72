#pragma once

#include "core/Result.h"
#include "video/FrameLayout.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace vigilux::recording {

// Writes one video clip: H.264 (libx264) in a fragmented MP4 file. Every
// fragment starts at a key frame (one a second) and reaches the disk as soon
// as it is complete, so a crash, a kill or a power cut leaves a file that
// plays up to its last fragment.
//
// Output depends only on the frames and their times: one encoder thread,
// bit-exact encoder and muxer, timestamps taken from the caller, and no
// wall-clock dates unless the caller gives one.
//
// Frames must come in a layout the encoder takes as it is (see accepts());
// the caller converts others once (the pre-roll buffer does). Every failure
// is returned with its reason; nothing here throws or aborts.
// Not thread-safe; one instance per clip at a time.
class ClipWriter final {
public:
    // The encoder's speed/size trade-off: fast enough for a 640 x 480 clip
    // at 25 fps in under a tenth of one core.
    static constexpr const char* Preset = "ultrafast";

    struct Options {
        int fps = 10;                // nominal rate: key frame interval, last frame's length
        int threads = 1;             // encoder threads
        int crf = 23;                // constant quality (lower = better, bigger)
        const char* preset = Preset; // an x264 preset name
        QDateTime creationTime;      // written as the file's creation time when valid
    };

    ClipWriter();
    ~ClipWriter(); // closes an open clip, keeping what was written
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;

    // True when the encoder takes frames of this layout without conversion.
    static bool accepts(video::FrameLayout::Pixel pixel);
    // The size a clip of frames of `size` gets: 4:2:0 needs even sides, so
    // an odd last row or column is left out.
    static QSize encodedSize(QSize size);

    // Creates the file and writes its header. `size` and `pixel` are those
    // of the frames to come (size already even).
    core::Status open(const QString& path, QSize size, video::FrameLayout::Pixel pixel,
                      const Options& options);
    bool isOpen() const;

    // Encodes a frame taken at `ms` on the caller's clock; the clip's time
    // starts at its first frame. A frame not later than the previous one is
    // skipped (a clip's timeline never stands still or runs backwards).
    // After one failure every write fails with the same reason.
    core::Status write(const uchar* data, const video::FrameLayout& layout, std::int64_t ms);

    // Flushes the encoder and ends the file. Fails when that (or an earlier
    // write) failed; the file keeps what was written either way.
    core::Status close();

    QString path() const { return m_path; }
    std::int64_t framesWritten() const { return m_frames; }
    // Whether the file holds a frame a player can show: a whole fragment on
    // disk (after close(), also the last one when closing succeeded). Frames
    // the encoder took are not on disk before their fragment is complete.
    bool hasPlayableFrame() const;
    // Time from the first frame to the end of the last one, in ms.
    std::int64_t durationMs() const { return m_durationMs; }

private:
    core::Status fail(const QString& text);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    QString m_path;
    QString m_error;
    std::int64_t m_frames = 0;
    std::int64_t m_durationMs = 0;
    bool m_playable = false; // after close(): the file holds a whole fragment
};

} // namespace vigilux::recording
