#include "detection/BackgroundModel.h"

#include <algorithm>
#include <cstdlib>

namespace vigilux::detection {

namespace {

constexpr int kBands = 16;          // brightness bands of the tone match
constexpr int kDiffs = 511;         // differences -255..255
constexpr int kMinBandSamples = 24; // fewer say nothing about a band's tone
constexpr int kWarmupMs = 2000;     // a new model learns fast, and never alarms
constexpr int kFastTauMs = 400;     // learning while warming up
constexpr int kDeviationTauMs = 5000;
constexpr int kLightJump = 16; // levels: the whole picture moved this far
constexpr int kRelearnSharePercent = 35;
// A passing object moves a pixel's deviation by at most this much per frame's
// worth of learning, so one walker does not make a place look busy.
constexpr int kDeviationCap = 48;

// Share of the remaining difference learnt per frame, in 1/4096.
int rateQ12(int dtMs, int tauMs) {
    return std::clamp(dtMs * 4096 / std::max(1, tauMs), 1, 4096);
}

inline int roundShift12(int value) {
    return (value + 2048) >> 12;
}

int medianOf(const std::int32_t* histogram, int count) {
    const int half = (count + 1) / 2;
    int seen = 0;
    for (int d = 0; d < kDiffs; ++d) {
        seen += histogram[d];
        if (seen >= half)
            return d - 255;
    }
    return 0;
}

} // namespace

void BackgroundModel::reset() {
    m_width = m_height = 0;
    m_mean.clear();
    m_deviation.clear();
    m_previous.clear();
}

template <typename Reference>
int BackgroundModel::estimateTone(const LumaImage& luma, Reference reference, ToneMap& map) {
    m_histogram.assign(std::size_t(kBands + 1) * kDiffs, 0);
    std::int32_t* global = m_histogram.data() + std::size_t(kBands) * kDiffs;
    std::array<int, kBands> counts{};
    int total = 0;
    // Every fourth pixel of every other line is plenty for a median.
    for (int y = 0; y < luma.height; y += 2) {
        for (int x = 0; x < luma.width; x += 4) {
            const std::size_t i = std::size_t(y) * luma.width + x;
            const int ref = reference(i);
            const int d = int(luma.pixels[i]) - ref + 255;
            ++m_histogram[std::size_t(ref >> 4) * kDiffs + d];
            ++counts[std::size_t(ref >> 4)];
        }
    }
    for (int b = 0; b < kBands; ++b) {
        const std::int32_t* band = m_histogram.data() + std::size_t(b) * kDiffs;
        for (int d = 0; d < kDiffs; ++d)
            global[d] += band[d];
        total += counts[std::size_t(b)];
    }
    const int shift = medianOf(global, total);
    // A band's offset may differ from the whole picture's (clipped
    // highlights, a gain rather than an offset) but only within reason, so
    // an object that fills a sparse band is not matched away.
    const int spread = std::abs(shift) / 2 + 4;
    std::array<int, kBands> offset{};
    std::array<bool, kBands> valid{};
    bool any = false;
    for (int b = 0; b < kBands; ++b) {
        if (counts[std::size_t(b)] < kMinBandSamples)
            continue;
        offset[std::size_t(b)] = std::clamp(
            medianOf(m_histogram.data() + std::size_t(b) * kDiffs, counts[std::size_t(b)]),
            shift - spread, shift + spread);
        valid[std::size_t(b)] = any = true;
    }
    for (int b = 0; b < kBands; ++b) {
        if (valid[std::size_t(b)])
            continue;
        offset[std::size_t(b)] = shift;
        for (int r = 1; any && r < kBands; ++r) {
            if (b - r >= 0 && valid[std::size_t(b - r)]) {
                offset[std::size_t(b)] = offset[std::size_t(b - r)];
                break;
            }
            if (b + r < kBands && valid[std::size_t(b + r)]) {
                offset[std::size_t(b)] = offset[std::size_t(b + r)];
                break;
            }
        }
    }
    // Linear between band centres, rounded half away from zero; stored as
    // the level the reference should show now.
    for (int v = 0; v < 256; ++v) {
        const int b0 = std::clamp((v - 8) >> 4, 0, kBands - 1);
        const int b1 = std::min(b0 + 1, kBands - 1);
        const int t = std::clamp(v - (b0 * 16 + 8), 0, 16);
        const int sum = offset[std::size_t(b0)] * (16 - t) + offset[std::size_t(b1)] * t;
        const int offsetAt = sum >= 0 ? (sum + 8) / 16 : -((-sum + 8) / 16);
        map[std::size_t(v)] = std::uint8_t(std::clamp(v + offsetAt, 0, 255));
    }
    return shift;
}

BackgroundModel::Frame BackgroundModel::apply(const LumaImage& luma, int dtMs,
                                              const ObjectDetectorSettings& settings,
                                              std::vector<std::uint8_t>& foreground) {
    const std::size_t n = luma.pixels.size();
    foreground.assign(n, 0);
    Frame frame;
    if (m_mean.empty() || luma.width != m_width || luma.height != m_height) {
        m_width = luma.width;
        m_height = luma.height;
        m_mean.resize(n);
        m_deviation.assign(n, std::uint16_t(2 << 8));
        for (std::size_t i = 0; i < n; ++i)
            m_mean[i] = std::uint16_t(luma.pixels[i] << 8);
        m_previous = luma.pixels;
        m_warmupLeftMs = kWarmupMs;
        m_relearnLeftMs = 0;
        frame.warmingUp = true;
        return frame;
    }
    const int dt = std::clamp(dtMs, 1, 1000);
    frame.toneShift = estimateTone(
        luma, [this](std::size_t i) { return (m_mean[i] + 128) >> 8; }, m_toBackground);

    const bool warm = m_warmupLeftMs > 0;
    if (!warm && m_relearnLeftMs <= 0 && std::abs(frame.toneShift) >= kLightJump) {
        frame.lightChange = true;
        m_relearnLeftMs = settings.relearnMs;
    }
    const bool relearn = m_relearnLeftMs > 0;
    if (relearn) // objects are then found against the previous frame
        estimateTone(
            luma, [this](std::size_t i) { return int(m_previous[i]); }, m_toPrevious);
    frame.warmingUp = warm;
    frame.relearning = relearn;

    const int learnTau = std::max(1, settings.learnSeconds) * 1000;
    const int fastRate = rateQ12(dt, warm ? kFastTauMs : std::max(1, settings.relearnMs / 4));
    const int slowRate = rateQ12(dt, learnTau);
    const int backgroundRate = warm || relearn ? fastRate : slowRate;
    // An object stays out of the background; one that stops fades in slowly.
    const int objectRate = warm ? fastRate : rateQ12(dt, learnTau * 4);
    const int deviationRate = rateQ12(dt, warm ? kFastTauMs : kDeviationTauMs);
    const int deviationObjectRate = warm ? deviationRate : rateQ12(dt, kDeviationTauMs * 2);
    const int factor = std::max(1, settings.deviationFactor);
    const int floor = std::max(1, settings.noiseFloor);

    std::size_t changed = 0;
    if (!warm && !relearn) {
        // The usual case, on its own without branches: what the general
        // loop below does when neither warming up nor re-learning. The
        // expected levels are looked up first, so that the arithmetic, the
        // bulk of a frame's work, runs in vector lanes.
        m_expected.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            m_expected[i] = m_toBackground[std::size_t((m_mean[i] + 128) >> 8)];
        // factor / 10 x deviation / 256, the division as a multiplication;
        // both fit 32 bits (any factor the settings allow, and far beyond),
        // their product 64.
        const auto scale = std::uint32_t(std::int64_t(std::min(factor, 163840)) * 26215);
        const std::uint8_t* pixels = luma.pixels.data();
        const std::uint8_t* expected = m_expected.data();
        std::uint16_t* mean = m_mean.data();
        std::uint16_t* deviation = m_deviation.data();
        std::uint8_t* out = foreground.data();
        for (std::size_t i = 0; i < n; ++i) {
            const int v = pixels[i];
            const int d = std::abs(v - int(expected[i]));
            const int threshold = std::max(floor, int((std::uint64_t(scale) * deviation[i]) >> 26));
            const bool differs = d > threshold;
            out[i] = differs ? 255 : 0;
            changed += differs;
            const int rate = differs ? objectRate : backgroundRate;
            mean[i] = std::uint16_t(mean[i] + roundShift12(((v << 8) - mean[i]) * rate));
            const int target = std::min(d, kDeviationCap) << 8;
            const int devRate = differs ? deviationObjectRate : deviationRate;
            deviation[i] =
                std::uint16_t(deviation[i] + roundShift12((target - deviation[i]) * devRate));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const int v = luma.pixels[i];
            const int m = (m_mean[i] + 128) >> 8;
            const int expected = m_toBackground[std::size_t(m)];
            const int d = std::abs(v - expected);
            // factor / 10 x deviation / 256, the division as a multiplication.
            const int threshold =
                std::max(floor, int((std::int64_t(factor) * m_deviation[i] * 26215) >> 26));
            const bool differs = d > threshold;
            bool object = differs;
            if (relearn) {
                const int p = m_previous[i];
                const int before = m_toPrevious[std::size_t(p)];
                object = std::abs(v - before) > threshold + threshold / 2;
            }
            if (object && !warm) {
                foreground[i] = 255;
                ++changed;
            }
            const int rate = object ? objectRate : backgroundRate;
            m_mean[i] = std::uint16_t(m_mean[i] + roundShift12(((v << 8) - m_mean[i]) * rate));
            if (!relearn) {
                const int target = std::min(d, kDeviationCap) << 8;
                const int devRate = differs ? deviationObjectRate : deviationRate;
                m_deviation[i] = std::uint16_t(m_deviation[i] +
                                               roundShift12((target - m_deviation[i]) * devRate));
            }
        }
    }
    m_previous = luma.pixels;
    if (!warm && !relearn && changed * 100 > n * kRelearnSharePercent) {
        // Most of the picture changed at once and the tone match did not
        // explain it (a lamp lighting one side): not an object, start over.
        frame.lightChange = true;
        m_relearnLeftMs = settings.relearnMs;
        std::fill(foreground.begin(), foreground.end(), 0);
    } else if (relearn) {
        m_relearnLeftMs -= dt;
    }
    if (warm)
        m_warmupLeftMs -= dt;
    return frame;
}

int BackgroundModel::noiseLevel() const {
    if (m_deviation.empty())
        return 0;
    std::array<int, 256> histogram{};
    for (const std::uint16_t d : m_deviation)
        ++histogram[std::size_t(std::min(255, (d + 128) >> 8))];
    const int half = int((m_deviation.size() + 1) / 2);
    int seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += histogram[std::size_t(level)];
        if (seen >= half)
            return level;
    }
    return 255;
}

int BackgroundModel::busyHundredths() const {
    if (m_deviation.empty())
        return 0;
    const int limit = std::max(3 * noiseLevel(), 4) << 8;
    const auto busy = std::count_if(m_deviation.begin(), m_deviation.end(),
                                    [limit](std::uint16_t d) { return d > limit; });
    return int(busy * 10000 / std::ptrdiff_t(m_deviation.size()));
}

std::size_t BackgroundModel::memoryBytes() const {
    return m_mean.capacity() * 2 + m_deviation.capacity() * 2 + m_previous.capacity() +
           m_histogram.capacity() * 4;
}

} // namespace vigilux::detection
