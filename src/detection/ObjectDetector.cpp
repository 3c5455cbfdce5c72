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

ObjectDetector::ObjectDetector(const ObjectDetectorSettings& settings)
    : m_settings(settings) {}

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
    cv::bitwise_and(foreground, mask, foreground);
    // Opening drops specks of noise; closing joins the pieces of one object
    // (a shirt the colour of the wall splits a person in two).
    const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    const cv::Mat close = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    cv::morphologyEx(foreground, foreground, cv::MORPH_OPEN, open);
    cv::morphologyEx(foreground, foreground, cv::MORPH_CLOSE, close);
    cv::bitwise_and(foreground, mask, foreground);
    changed = cv::countNonZero(foreground);

    cv::Mat labels, stats, centroids;
    const int count =
        cv::connectedComponentsWithStats(foreground, labels, stats, centroids, 8, CV_32S);
    std::vector<Blob> blobs;
    for (int i = 1; i < count; ++i) {
        const int* s = stats.ptr<int>(i);
        blobs.push_back({QRect(s[cv::CC_STAT_LEFT], s[cv::CC_STAT_TOP], s[cv::CC_STAT_WIDTH],
                               s[cv::CC_STAT_HEIGHT]),
                         s[cv::CC_STAT_AREA]});
    }
    return blobs;
}

ObjectStep ObjectDetector::step(const std::uint8_t* data, qsizetype bytes,
                                const video::FrameLayout& layout, std::int64_t timeMs) {
    ObjectStep result;
    if (!m_scaler.scale(data, bytes, layout, m_luma))
        return result;
    result.valid = true;
    if (layout.size != m_frameSize) {
        m_frameSize = layout.size;
        reset();
        m_mask.clear();
    }
    const std::size_t n = m_luma.pixels.size();
    if (m_mask.size() != n)
        m_mask = DetectionMask::scaled(m_maskImage, m_luma.width, m_luma.height);

    const std::int64_t dt = m_started ? timeMs - m_lastMs : 0;
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
    return result;
}

std::size_t ObjectDetector::memoryBytes() const {
    // The labelling's scratch (int labels) is about four working pictures.
    return m_model.memoryBytes() + m_luma.pixels.capacity() + m_foreground.capacity() +
           m_mask.capacity() + m_luma.pixels.size() * 4;
}

} // namespace vigilux::detection
