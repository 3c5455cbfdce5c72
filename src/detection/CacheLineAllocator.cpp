#include "detection/CacheLineAllocator.h"

#include <new>

namespace vigilux::detection {

uchar* CacheLineAllocator::allocate(std::size_t n) {
    return static_cast<uchar*>(::operator new(n, std::align_val_t(kAlignment)));
}

void CacheLineAllocator::deallocate(uchar* p, std::size_t /*n*/) noexcept {
    ::operator delete(p, std::align_val_t(kAlignment));
}

} // namespace vigilux::detection
