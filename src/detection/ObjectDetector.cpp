#include "detection/ObjectDetector.h"

#include "detection/DetectionMask.h"
#include "detection/PersonConfirmer.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace vigilux::detection {

namespace {
// Person-only mode asks the people detector about an object at most this
// often: it costs far more than a whole frame of the rest.
constexpr std::int64_t kPersonRetryMs = 500;
} // namespace

struct ObjectDetector::Scratch {
    cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::Mat close = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    cv::Mat work, labels, stats, centroids;
};

ObjectDetector::ObjectDetector(const ObjectDetectorSettings& settings)
    : m_settings(settings)
    , m_scratch(std::make_unique<Scratch>()) {}

ObjectDetector::~ObjectDetector() = default;

void ObjectDetector::setSettings(const ObjectDetectorSettings& settings) {
    m_settings = settings;
}

void ObjectDetector::setMask(const QImage& mask) {
    m_maskImage = mask;
    m_mask.clear(); // scaled again at the next frame's working size
}

void ObjectDetector::reset() {
    m_model.reset();
    m_tracker.reset();
    m_started = false;
}

std::vector<Blob> ObjectDetector::findBlobs(std::int64_t& changed) {
    cv::Mat foreground(m_luma.height, m_luma.width, CV_8UC1, m_foreground.data());
    const cv::Mat mask(m_luma.height, m_luma.width, CV_8UC1, m_mask.data());
    const bool masked = !m_maskImage.isNull();
    if (masked)
        cv::bitwise_and(foreground, mask, foreground);
    // Most of a watcher's day nothing, or only a speck of noise, differs
    // from the background: an empty picture stays empty through opening and
    // closing and has no parts, so the costlier steps are skipped with the
    // same result.
    changed = 0;
    if (cv::countNonZero(foreground) == 0)
        return {};
    // Opening drops specks of noise; closing joins the pieces of one object
    // (a shirt the colour of the wall splits a person in two).
    Scratch& s = *m_scratch;
    cv::morphologyEx(foreground, s.work, cv::MORPH_OPEN, s.open);
    if (cv::countNonZero(s.work) == 0) {
        foreground.setTo(0);
        return {};
    }
    cv::morphologyEx(s.work, foreground, cv::MORPH_CLOSE, s.close);
    if (masked) // closing may grow an object into an ignored area
        cv::bitwise_and(foreground, mask, foreground);
    changed = cv::countNonZero(foreground);

    const int count =
        cv::connectedComponentsWithStats(foreground, s.labels, s.stats, s.centroids, 8, CV_32S);
    std::vector<Blob> blobs;
    for (int i = 1; i < count; ++i) {
        const int* stat = s.stats.ptr<int>(i);
        blobs.push_back({QRect(stat[cv::CC_STAT_LEFT], stat[cv::CC_STAT_TOP],
                               stat[cv::CC_STAT_WIDTH], stat[cv::CC_STAT_HEIGHT]),
                         stat[cv::CC_STAT_AREA]});
    }
    return blobs;
}

ObjectStep ObjectDetector::step(const std::uint8_t* data, qsizetype bytes,
                                const video::FrameLayout& layout, std::int64_t timeMs) {
    // Frames are analysed on a schedule of one per interval that allows a
    // quarter interval of jitter: frames a little early still count, and
    // the analysed rate stays at one per interval whatever the frame rate.
    const int interval = std::max(0, m_settings.minIntervalMs);
    const bool inOrder = m_started && layout.size == m_frameSize && timeMs >= m_lastMs;
    if (inOrder && timeMs < m_dueMs - interval / 4) {
        ObjectStep repeated = m_last;
        repeated.analysed = false;
        repeated.lightChange = false;
        return repeated;
    }
    ObjectStep result;
    if (!m_scaler.scale(data, bytes, layout, m_luma))
        return result;
    result.valid = true;
    result.analysed = true;
    if (layout.size != m_frameSize) {
        m_frameSize = layout.size;
        reset();
        m_mask.clear();
    }
    const std::size_t n = m_luma.pixels.size();
    if (m_mask.size() != n)
        m_mask = DetectionMask::scaled(m_maskImage, m_luma.width, m_luma.height);

    const std::int64_t dt = m_started ? timeMs - m_lastMs : 0;
    m_dueMs = inOrder ? std::max(m_dueMs + interval, timeMs + interval / 2) : timeMs + interval;
    m_started = true;
    m_lastMs = timeMs;
    const BackgroundModel::Frame frame =
        m_model.apply(m_luma, int(std::clamp<std::int64_t>(dt, 1, 1000)), m_settings, m_foreground);
    result.lightChange = frame.lightChange;
    result.learning = frame.warmingUp || frame.relearning;

    std::int64_t changed = 0;
    std::vector<Blob> blobs = findBlobs(changed);
    result.changedPercent = int((changed * 100 + std::int64_t(n) / 2) / std::int64_t(n));

    ObjectTracker::Rules rules;
    rules.minArea = std::max<int>(1, int(std::int64_t(n) * m_settings.minObjectHundredths / 10000));
    rules.persistenceMs = m_settings.persistenceMs;
    rules.persistenceFrames = m_settings.persistenceFrames;
    // Pieces far below the smallest object are noise, not worth following.
    std::erase_if(blobs, [&](const Blob& b) { return b.area * 4 < rules.minArea; });
    if (frame.warmingUp)
        m_tracker.reset();
    else
        m_tracker.update(std::move(blobs), timeMs, rules);

    const int f = m_luma.factor;
    for (Track& t : m_tracker.tracks()) {
        if (!t.seenNow || (t.area < rules.minArea && !t.alarming))
            continue;
        if (t.alarming && m_settings.personOnly && !t.person &&
            (t.personTriedMs < 0 || timeMs - t.personTriedMs >= kPersonRetryMs)) {
            if (!m_person)
                m_person = std::make_unique<PersonConfirmer>();
            t.personTriedMs = timeMs;
            const QRect box(t.box.left() * f, t.box.top() * f, t.box.width() * f,
                            t.box.height() * f);
            const QRect region = PersonConfirmer::regionAround(box, layout.size);
            t.person = m_person->isPerson(LumaScaler::fullLuma(data, bytes, layout, region));
        }
        DetectedObject object;
        object.box =
            QRect(t.box.left() * f, t.box.top() * f, t.box.width() * f, t.box.height() * f);
        object.hundredths = int(std::int64_t(t.area) * 10000 / std::int64_t(n));
        object.track = t.id;
        object.alarming = t.alarming && (!m_settings.personOnly || t.person);
        object.person = t.person;
        result.objects.append(object);
        if (object.alarming) {
            ++result.objectCount;
            result.largestHundredths = std::max(result.largestHundredths, object.hundredths);
        }
    }
    result.alarm = result.objectCount > 0;
    m_last = result;
    return result;
}

std::size_t ObjectDetector::memoryBytes() const {
    // The labelling's scratch (int labels) is about four working pictures.
    return m_model.memoryBytes() + m_luma.pixels.capacity() + m_foreground.capacity() +
           m_mask.capacity() + m_luma.pixels.size() * 4;
}

} // namespace vigilux::detection
