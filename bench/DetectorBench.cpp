// The detector step against a memcpy of the same frame, side by side: the
// step is memory bound, so its cost is best judged relative to the copy.
#include "Bench.h"

#include "detection/FrameCompare.h"
#include "detection/MotionDetector.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using vigilux::detection::FrameBytes;
using vigilux::detection::FrameCompare::compareCopy;

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Two frames like a camera's successive samples: the same picture with
// sensor noise in most bytes and a moving block.
void makeFrames(FrameBytes& a, FrameBytes& b) {
    std::mt19937 random(12345);
    for (auto& byte : a)
        byte = static_cast<uchar>(random());
    for (std::size_t i = 0; i < b.size(); ++i) {
        const int noise = static_cast<int>(random() % 7) - 3;
        b[i] = static_cast<uchar>(std::clamp(a[i] + noise, 0, 255));
    }
    for (std::size_t i = b.size() / 3; i < b.size() / 2; ++i)
        b[i] = static_cast<uchar>(255 - a[i]);
}

void runSize(std::size_t n) {
    // The detector's own buffer type, so the alignment is what it runs on.
    FrameBytes frames[2] = {FrameBytes(n), FrameBytes(n)};
    makeFrames(frames[0], frames[1]);
    FrameBytes previous(n, 0);
    FrameBytes copy(n, 0);

    constexpr int kRounds = 300;
    constexpr int kStepsPerRound = 2; // one of each frame
    std::vector<double> ratios;
    ratios.reserve(kRounds);
    volatile std::uint64_t sink = 0;
    volatile qint32 similaritySink = 0;

    // Warm up caches and page mappings.
    for (int k = 0; k < 4; ++k) {
        sink = sink + compareCopy(frames[k % 2].data(), previous.data(), n, 5);
        std::memcpy(copy.data(), frames[k % 2].data(), n);
    }
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = Clock::now();
        for (int k = 0; k < kStepsPerRound; ++k) {
            // Everything the step does to the bytes: compare, count, store,
            // and the percentage.
            const std::uint64_t unchanged = compareCopy(frames[k].data(), previous.data(), n, 5);
            similaritySink = vigilux::detection::MotionDetector::similarityPercent(unchanged, n);
        }
        const auto t1 = Clock::now();
        for (int k = 0; k < kStepsPerRound; ++k) {
            std::memcpy(copy.data(), frames[k].data(), n);
            sink = sink + copy[n / 2];
        }
        const auto t2 = Clock::now();
        ratios.push_back(seconds(t0, t1) / seconds(t1, t2));
    }
    std::printf("detector_step N=%zu ratio_vs_memcpy=%.3f\n", n, vigilux::bench::median(ratios));
    (void)similaritySink;
}

void runDetector() {
    runSize(640u * 480u * 3u);
    runSize(1280u * 720u * 2u);
    runSize(1920u * 1080u * 3u);
}

const bool registered = vigilux::bench::add("detector", &runDetector);

} // namespace
