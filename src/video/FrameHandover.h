#pragma once

#include "video/FrameLayout.h"

#include <QtGlobal>

#include <cstdint>
#include <mutex>
#include <vector>

namespace vigilux::video {

// The newest frame on its way from a decoder thread to the UI thread.
//
// The two sides swap buffers with it under a lock, so neither copies while
// holding it and steady state does not allocate. Only the newest frame
// waits: frames the UI thread had no time for are dropped, and none is
// taken twice.
//
// Threading: offer() from one producer thread, take() from one consumer
// thread.
class FrameHandover final {
public:
    // Swaps `frame` (described by `layout`) in and hands back an older
    // buffer to fill next. True when the consumer has to be woken: no
    // take() is already on its way since the last one.
    bool offer(std::vector<std::uint8_t>& frame, const FrameLayout& layout);

    // Swaps the newest frame into `frame` and describes it in `layout`.
    // False when nothing new came since the last take (and `frame` is left
    // as it is).
    bool take(std::vector<std::uint8_t>& frame, FrameLayout& layout);

    // Frames offered so far.
    quint64 offered() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_ready;
    FrameLayout m_layout;
    quint64 m_offered = 0;
    quint64 m_taken = 0;    // m_offered at the last take
    bool m_wakeDue = false; // a consumer wake-up is on its way
};

} // namespace vigilux::video
