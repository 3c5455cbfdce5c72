#include "video/FrameHandover.h"

#include <utility>

namespace vigilux::video {

bool FrameHandover::offer(std::vector<std::uint8_t>& frame, const FrameLayout& layout) {
    std::lock_guard lock(m_mutex);
    std::swap(frame, m_ready);
    m_layout = layout;
    ++m_offered;
    const bool wake = !m_wakeDue;
    m_wakeDue = true;
    return wake;
}

bool FrameHandover::take(std::vector<std::uint8_t>& frame, FrameLayout& layout) {
    std::lock_guard lock(m_mutex);
    m_wakeDue = false;
    if (m_offered == m_taken)
        return false;
    m_taken = m_offered;
    std::swap(frame, m_ready);
    layout = m_layout;
    return true;
}

quint64 FrameHandover::offered() const {
    std::lock_guard lock(m_mutex);
    return m_offered;
}

} // namespace vigilux::video
