#pragma once

#include "video/FrameLayout.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace vigilux::recording {

// The last seconds of video before an event, kept so that a clip can start
// before the detector noticed anything.
//
// A ring of raw frames rather than encoded packets: while nothing happens
// (most of a watcher's day) no encoder runs, and a clip starts exactly at
// the pre-roll instead of at the key frame before it. The price is memory,
// bounded here: frames are kept in the 4:2:0 layout the encoder takes (a
// camera's own yuv420p or nv12 is copied, anything else converted once,
// which encoding would need anyway), so 2 s at 10 fps of 1280 x 720 is
// 22 frames of 1.4 MB, about 30 MB; no settings make it exceed MaxBytes.
//
// The stored frames also feed the encoder while a clip is being recorded,
// so each frame is converted exactly once. Not thread-safe.
class PreRollBuffer final {
public:
    // One kept frame, in a layout the clip encoder takes as it is.
    struct Frame {
        std::vector<uchar> bytes;
        video::FrameLayout layout;
        std::int64_t ms = 0;
    };

    // Frames kept beyond the span: the one before its start (so the span is
    // covered whole) and the newest, being written.
    static constexpr int SpareFrames = 2;
    // The ring never holds more than this, whatever the settings and the
    // frame size; a longer pre-roll is cut short instead.
    static constexpr qsizetype MaxBytes = qsizetype{256} << 20;

    PreRollBuffer();
    ~PreRollBuffer();
    PreRollBuffer(const PreRollBuffer&) = delete;
    PreRollBuffer& operator=(const PreRollBuffer&) = delete;

    // Room for `spanMs` of frames arriving at most `fps` a second. Empties
    // the ring and gives back its memory.
    void configure(std::int64_t spanMs, int fps);

    // Stores a frame taken at `ms`, overwriting the oldest when full. A
    // frame of another size or layout than the last empties the ring first.
    // Returns the stored frame (valid until the next push), or null with
    // `error` set when the frame cannot be read.
    const Frame* push(const uchar* data, const video::FrameLayout& layout, std::int64_t ms,
                      QString* error = nullptr);

    // The stored frames taken at or after `fromMs`, oldest first.
    std::vector<const Frame*> since(std::int64_t fromMs) const;

    void clear(); // forgets the frames, keeps the memory for the next ones

    int capacity() const { return m_limit; } // frames, for the current frame size
    int size() const { return m_count; }
    qsizetype bytes() const { return m_bytes; }         // memory held now
    qsizetype peakBytes() const { return m_peakBytes; } // most memory ever held

private:
    bool store(Frame& slot, const uchar* data, const video::FrameLayout& layout, QString* error);
    void release();

    struct Converter;
    std::unique_ptr<Converter> m_converter;
    std::vector<Frame> m_slots;
    int m_spanFrames = SpareFrames;
    int m_limit = SpareFrames;
    int m_header = 0; // next slot to write
    int m_count = 0;
    QSize m_sourceSize;
    video::FrameLayout::Pixel m_sourcePixel = video::FrameLayout::Pixel::Unknown;
    qsizetype m_bytes = 0;
    qsizetype m_peakBytes = 0;
};

} // namespace vigilux::recording
