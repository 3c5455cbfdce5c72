#include "detection/MotionDetector.h"

#include "core/AppContext.h"
#include "detection/FrameCompare.h"
#include "detection/LevelIndicator.h"
#include "detection/PreviewRateTarget.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace vigilux::detection {

MotionDetector::MotionDetector(AppContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_speed(context.clock) {
    m_timer.setInterval(timerIntervalMs());
    connect(&m_timer, &QTimer::timeout, this, &MotionDetector::onDetectorTick);
}

MotionDetector::~MotionDetector() = default;

void MotionDetector::setKind(Kind kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    m_objects.reset();
    m_objectAlarm = false;
    m_objectChanged = 0;
}

void MotionDetector::setObjectSettings(const ObjectDetectorSettings& settings) {
    m_objects.setSettings(settings);
}

void MotionDetector::setObjectMask(const QImage& mask) {
    m_objects.setMask(mask);
}

void MotionDetector::observe(const uchar* data, qsizetype bytes, const video::FrameLayout& layout,
                             std::int64_t timeMs) {
    if (m_kind != Kind::Objects || !m_detecting || !data || bytes <= 0)
        return;
    ObjectStep step = m_objects.step(data, bytes, layout, timeMs);
    if (!step.valid)
        return;
    m_objectChanged = std::max(m_objectChanged, step.changedPercent);
    // The frame that confirmed an object is what the step reports.
    if (step.alarm || !m_objectAlarm)
        m_latestObjects = std::move(step);
    m_objectAlarm = m_objectAlarm || m_latestObjects.alarm;
}

qint16 MotionDetector::previewRateFor(int intervalMs) const {
    return static_cast<qint16>(m_kind == Kind::Objects ? std::min(intervalMs, 100) : intervalMs);
}

int MotionDetector::timerIntervalMs() const {
    // A timer of 0 ms would fire on every pass of the event loop.
    return std::max<int>(1, m_interval);
}

int MotionDetector::onFrame(const video::FrameHeader& header) {
    const std::size_t n = header.data ? takenBytes(header) : 0;
    if (n == 0)
        return 0;
    restorePrevious();
    takeFrame(header, n);
    std::memcpy(m_frameBuffer.data(), header.data, n);
    startDetector();
    return 0;
}

int MotionDetector::onFrame(const video::FrameHeader& header, std::span<const Piece> pieces) {
    std::size_t total = 0;
    for (const Piece& piece : pieces)
        total += piece.data ? piece.size : 0;
    const std::size_t n = takenBytes(header);
    if (n == 0 || n != total)
        return 0;
    if (m_kind != Kind::ByteCompare) {
        // Nothing to compare: the frame buffer just holds the frame.
        restorePrevious();
        takeFrame(header, n);
        uchar* out = m_frameBuffer.data();
        for (const Piece& piece : pieces)
            out = std::copy_n(piece.data, piece.size, out);
        startDetector();
        return 0;
    }
    takeFrame(header, n);
    step(pieces);
    return 0;
}

std::size_t MotionDetector::takenBytes(const video::FrameHeader& header) const {
    // While a step's alarm handlers run (they may wait for a program and let
    // events through), frames are not taken: the step must end first.
    if (!m_grabRequest || m_inStep)
        return 0;
    return std::min<std::size_t>(header.bytesUsed, header.bufferLength);
}

void MotionDetector::takeFrame(const video::FrameHeader& header, std::size_t n) {
    m_grabRequest = false;
    m_header = header;
    if (!m_bufferSized) {
        m_frameBuffer.resize(n);
        m_bufferSized = true;
    } else if (n != m_frameBuffer.size()) {
        // The device changed its format: follow the new size and start over.
        // A comparison against the all-zero previous frame says nothing about
        // motion, so that step must not alarm either.
        m_frameBuffer.resize(n);
        formatChanged();
        clearPrimed();
    }
}

qint32 MotionDetector::similarityPercent(std::uint64_t unchanged, std::size_t n) {
    // Rounded in the default mode: to nearest, halves to even.
    const double share = static_cast<double>(unchanged) / static_cast<double>(n);
    return static_cast<qint32>(std::nearbyint(share * 100.0));
}

void MotionDetector::startDetector() {
    step({});
}

void MotionDetector::restorePrevious() {
    if (!m_previousInBuffer)
        return;
    m_previous = m_frameBuffer;
    m_previousInBuffer = false;
}

void MotionDetector::step(std::span<const Piece> pieces) {
    if (m_frameBuffer.empty() || m_inStep)
        return;
    m_inStep = true;

    m_speed.markStart();
    // From pieces, the byte compare works in the frame buffer alone: it holds
    // the previous frame, and each piece is compared with its part of it and
    // stored there. Otherwise the frame buffer is compared with m_previous.
    const bool inPlace = !pieces.empty() && m_kind == Kind::ByteCompare;
    if (!inPlace)
        restorePrevious();
    // The frame length always follows the buffer, so no pass runs past either.
    if (m_frameLength == 0 || m_frameLength != m_frameBuffer.size()) {
        m_frameLength = m_frameBuffer.size();
        if (inPlace)
            std::fill(m_frameBuffer.begin(), m_frameBuffer.end(), uchar(0));
        else
            m_previous.assign(m_frameLength, 0);
    }
    m_unchanged = 0;
    m_similarity = 0;
    bool motion = false;
    if (m_kind == Kind::Objects) {
        m_similarity = 100 - m_objectChanged;
        motion = m_objectAlarm;
        m_stepObjects = std::exchange(m_latestObjects, ObjectStep());
        m_objectAlarm = false;
        m_objectChanged = 0;
    } else {
        if (inPlace) {
            uchar* previous = m_frameBuffer.data();
            for (const Piece& piece : pieces) {
                m_unchanged += FrameCompare::compareCopy(piece.data, previous, piece.size, m_noise);
                previous += piece.size;
            }
            m_previousInBuffer = true;
        } else {
            m_unchanged = FrameCompare::compareCopy(m_frameBuffer.data(), m_previous.data(),
                                                    m_frameLength, m_noise);
        }
        m_similarity = similarityPercent(m_unchanged, m_frameLength);
        motion = m_similarity < m_threshold;
    }

    if (m_primed && m_indicator)
        m_indicator->showLevel(m_similarity);
    emit speedChanged(m_speed.readSpeed());
    emit similarityChanged(m_similarity);
    if (m_context.watching) {
        if (motion && m_primed) {
            emit alarm(true);
            if (m_context.settings.saveOnAlarm && !m_context.detectorWindowOpen &&
                !m_context.detectorWindowShown && m_saveFrame)
                m_saveFrame();
        } else {
            emit alarm(false);
        }
    }
    m_primed = true;
    m_inStep = false;
}

void MotionDetector::formatChanged() {
    m_frameLength = 0;
}

void MotionDetector::setLevelMaximum(qint32 threshold) {
    if (m_indicator)
        m_indicator->showThreshold(threshold);
}

void MotionDetector::setDetectorInterval(qint16 ms) {
    m_interval = ms;
    if (m_timer.isActive()) {
        // The next tick comes one full new interval from now.
        m_timer.stop();
        m_timer.setInterval(timerIntervalMs());
        m_timer.start();
    } else {
        m_timer.setInterval(timerIntervalMs());
    }
    if (m_context.settings.syncPreviewRate)
        setPreviewRate(previewRateFor(m_timer.interval()));
}

void MotionDetector::setSimilarityThreshold(qint16 amount) {
    m_threshold = amount;
    if (m_indicator)
        m_indicator->showLevel(amount);
}

void MotionDetector::setDetecting(bool start) {
    m_detecting = start;
    if (start) {
        // The scene may have changed while nobody watched: learn it anew.
        m_objects.reset();
        m_objectAlarm = false;
        m_objectChanged = 0;
    }
    if (start)
        m_timer.start();
    else
        m_timer.stop();
    if (m_indicator)
        m_indicator->setIndicatorVisible(start);
    if (start)
        m_context.alarmCount = 0;
    if (start && m_context.settings.syncPreviewRate)
        setPreviewRate(previewRateFor(m_timer.interval()));
    else
        setPreviewRate(kIdlePreviewRate);
}

void MotionDetector::setPreviewRate(qint16 ms) {
    if (m_previewRate)
        m_previewRate->setPreviewRate(ms);
}

} // namespace vigilux::detection
