#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace vigilux::detection {

// Allocates frame bytes on 64-byte boundaries. The compare pass streams
// through two frames and stores one; with the buffers on cache-line
// boundaries no vector access straddles two lines, which is worth about a
// quarter of the step's time on large frames.
class CacheLineAllocator {
public:
    using value_type = uchar;
    static constexpr std::size_t kAlignment = 64;

    template <class U>
    struct rebind {
        static_assert(sizeof(U) == 1, "frame bytes only");
        using other = CacheLineAllocator;
    };

    CacheLineAllocator() = default;

    uchar* allocate(std::size_t n);
    void deallocate(uchar* p, std::size_t n) noexcept;

    friend bool operator==(const CacheLineAllocator&, const CacheLineAllocator&) { return true; }
};

// A frame's bytes, as the detector keeps them.
using FrameBytes = std::vector<uchar, CacheLineAllocator>;

} // namespace vigilux::detection
