#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// The detector's inner loop: compare a frame with the previous one byte for
// byte, count the bytes that stayed within the noise tolerance, and store the
// frame as the new previous frame, all in one sweep over memory. The step is
// memory bound, so doing the three jobs in one pass costs about one memcpy.
//
// Every variant gives exactly the result of the plain definition
//     unchanged = #{ i : |frame[i] - previous[i]| <= tolerance }, previous := frame
// for any length and any alignment. `frame` and `previous` must not overlap
// (they may be the same buffer, which counts every byte as unchanged).
namespace vigilux::detection::FrameCompare {

enum class Variant {
    Scalar, // plain C++, every platform
    Sse2,   // every x86-64 processor
    Avx2,   // x86-64 processors that report AVX2 at run time
};

// Whether the variant can run on this processor.
bool supported(Variant variant);

// The fastest variant this processor runs; chosen once.
Variant best();

// Runs one specific variant (tests and the bench call this to compare them).
// The variant must be supported.
std::uint64_t compareCopy(Variant variant, const uchar* frame, uchar* previous, std::size_t n,
                          uchar tolerance);

// The detector's entry point: uses best(). A negative tolerance counts no
// byte as unchanged, one above 255 counts every byte; previous := frame in
// every case.
std::uint64_t compareCopy(const uchar* frame, uchar* previous, std::size_t n, int tolerance);

} // namespace vigilux::detection::FrameCompare
