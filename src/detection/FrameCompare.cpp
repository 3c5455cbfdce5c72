#include "detection/FrameCompare.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#define VIGILUX_X86_64 1
#include <immintrin.h>
#endif

namespace vigilux::detection::FrameCompare {

namespace {

std::uint64_t compareCopyScalar(const uchar* frame, uchar* previous, std::size_t n,
                                uchar tolerance) {
    std::uint64_t unchanged = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int a = frame[i];
        const int b = previous[i];
        const int d = a > b ? a - b : b - a;
        unchanged += d <= tolerance ? 1u : 0u;
        previous[i] = frame[i];
    }
    return unchanged;
}

#ifdef VIGILUX_X86_64

// The per-byte counters are 8 bits wide (each vector lane counts its own hits),
// so a block may run at most 255 iterations before they are folded into 64-bit
// sums with a sum of absolute differences against zero.
constexpr std::size_t kMaxBlockIterations = 255;

// |a - b| <= t as a lane mask (0xFF where unchanged), with unsigned
// saturating arithmetic: |a - b| = (a -sat b) | (b -sat a).
inline __m128i unchangedMask128(__m128i a, __m128i b, __m128i t) {
    const __m128i d = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    return _mm_cmpeq_epi8(_mm_min_epu8(d, t), d);
}

inline std::uint64_t horizontalSum128(__m128i counters) {
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

std::uint64_t compareCopySse2(const uchar* frame, uchar* previous, std::size_t n, uchar tolerance) {
    const __m128i t = _mm_set1_epi8(static_cast<char>(tolerance));
    std::uint64_t unchanged = 0;
    std::size_t i = 0;
    // Two vectors per iteration, each with its own counters.
    while (n - i >= 32) {
        const std::size_t iterations = std::min((n - i) / 32, kMaxBlockIterations);
        __m128i c0 = _mm_setzero_si128();
        __m128i c1 = _mm_setzero_si128();
        for (std::size_t k = 0; k < iterations; ++k, i += 32) {
            const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
            const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i + 16));
            const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
            const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i + 16));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(previous + i), a0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(previous + i + 16), a1);
            // The mask is -1 where unchanged, so subtracting it counts.
            c0 = _mm_sub_epi8(c0, unchangedMask128(a0, b0, t));
            c1 = _mm_sub_epi8(c1, unchangedMask128(a1, b1, t));
        }
        unchanged += horizontalSum128(c0) + horizontalSum128(c1);
    }
    return unchanged + compareCopyScalar(frame + i, previous + i, n - i, tolerance);
}

__attribute__((target("avx2"))) inline __m256i unchangedMask256(__m256i a, __m256i b, __m256i t) {
    const __m256i d = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
    return _mm256_cmpeq_epi8(_mm256_min_epu8(d, t), d);
}

__attribute__((target("avx2"))) inline std::uint64_t horizontalSum256(__m256i counters) {
    const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
    const __m128i pair =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(pair)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pair, pair)));
}

__attribute__((target("avx2"))) std::uint64_t compareCopyAvx2(const uchar* frame, uchar* previous,
                                                              std::size_t n, uchar tolerance) {
    const __m256i t = _mm256_set1_epi8(static_cast<char>(tolerance));
    std::uint64_t unchanged = 0;
    std::size_t i = 0;
    while (n - i >= 64) {
        const std::size_t iterations = std::min((n - i) / 64, kMaxBlockIterations);
        __m256i c0 = _mm256_setzero_si256();
        __m256i c1 = _mm256_setzero_si256();
        for (std::size_t k = 0; k < iterations; ++k, i += 64) {
            const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i));
            const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i + 32));
            const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(previous + i));
            const __m256i b1 =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(previous + i + 32));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(previous + i), a0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(previous + i + 32), a1);
            c0 = _mm256_sub_epi8(c0, unchangedMask256(a0, b0, t));
            c1 = _mm256_sub_epi8(c1, unchangedMask256(a1, b1, t));
        }
        unchanged += horizontalSum256(c0) + horizontalSum256(c1);
    }
    // The rest (under 64 bytes) goes through the 16-byte path and its tail.
    // Clearing the upper halves first spares the legacy-encoded SSE2 code the
    // AVX transition penalty.
    _mm256_zeroupper();
    return unchanged + compareCopySse2(frame + i, previous + i, n - i, tolerance);
}

#endif // VIGILUX_X86_64

} // namespace

bool supported(Variant variant) {
    switch (variant) {
    case Variant::Scalar:
        return true;
#ifdef VIGILUX_X86_64
    case Variant::Sse2:
        return true;
    case Variant::Avx2:
        return __builtin_cpu_supports("avx2");
#else
    case Variant::Sse2:
    case Variant::Avx2:
        return false;
#endif
    }
    return false;
}

Variant best() {
    static const Variant chosen = supported(Variant::Avx2)   ? Variant::Avx2
                                  : supported(Variant::Sse2) ? Variant::Sse2
                                                             : Variant::Scalar;
    return chosen;
}

std::uint64_t compareCopy(Variant variant, const uchar* frame, uchar* previous, std::size_t n,
                          uchar tolerance) {
    switch (variant) {
#ifdef VIGILUX_X86_64
    case Variant::Avx2:
        return compareCopyAvx2(frame, previous, n, tolerance);
    case Variant::Sse2:
        return compareCopySse2(frame, previous, n, tolerance);
#else
    case Variant::Avx2:
    case Variant::Sse2:
#endif
    case Variant::Scalar:
        break;
    }
    return compareCopyScalar(frame, previous, n, tolerance);
}

std::uint64_t compareCopy(const uchar* frame, uchar* previous, std::size_t n, int tolerance) {
    if (tolerance < 0) {
        if (n > 0 && frame != previous)
            std::memcpy(previous, frame, n);
        return 0;
    }
    return compareCopy(best(), frame, previous, n, static_cast<uchar>(std::min(tolerance, 255)));
}

} // namespace vigilux::detection::FrameCompare
