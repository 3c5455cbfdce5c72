#pragma once

#include "detection/BackgroundModel.h"
#include "detection/LumaScaler.h"
#include "detection/ObjectDetectorSettings.h"
#include "detection/ObjectTracker.h"
#include "video/FrameLayout.h"

#include <QImage>
#include <QList>
#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

// The object detector: finds moving objects rather than changed bytes. Each
// frame is reduced to luma about 320 pixels wide, compared with a learnt
// background (BackgroundModel: light changes and busy places taken out),
// cleaned by morphology, cut into connected regions and followed
// (ObjectTracker); an object that is big enough, persists and moves alarms.
//
// Deterministic: the same frames at the same times give the same steps on
// every machine, with or without OpenCV's SIMD paths (integer model, 8-bit
// morphology and labelling, labels put in a fixed order). Person-only mode
// is the exception, see PersonConfirmer. One thread; not thread-safe.
namespace vigilux::detection {

class PersonConfirmer;

struct DetectedObject {
    QRect box;          // frame pixels
    int hundredths = 0; // area, in hundredths of a percent of the picture
    int track = 0;      // the same number while the object is followed
    bool alarming = false;
    bool person = false; // confirmed as a person (person-only mode)
};

struct ObjectStep {
    bool valid = false;            // false: the frame's layout could not be read
    int changedPercent = 0;        // share of the picture in motion, 0..100
    bool alarm = false;            // an object is confirmed on this frame
    int objectCount = 0;           // alarming objects
    int largestHundredths = 0;     // the largest alarming object's area
    QList<DetectedObject> objects; // every object big enough, alarming or not
    bool lightChange = false;      // the whole picture's brightness jumped
    bool learning = false;         // warming up or re-learning after a jump
};

class ObjectDetector final {
public:
    explicit ObjectDetector(const ObjectDetectorSettings& settings = {});
    ~ObjectDetector();
    ObjectDetector(const ObjectDetector&) = delete;
    ObjectDetector& operator=(const ObjectDetector&) = delete;

    const ObjectDetectorSettings& settings() const { return m_settings; }
    // Takes effect from the next frame; the learnt scene is kept.
    void setSettings(const ObjectDetectorSettings& settings);
    // Areas to ignore (see DetectionMask); a null image watches everything.
    void setMask(const QImage& mask);

    // One frame of `bytes` bytes in `layout`, taken at `timeMs` (any
    // steady millisecond clock, the media time on replay).
    ObjectStep step(const std::uint8_t* data, qsizetype bytes, const video::FrameLayout& layout,
                    std::int64_t timeMs);

    // Forgets the scene: the next frame starts learning anew.
    void reset();

    const BackgroundModel& model() const { return m_model; }
    std::size_t memoryBytes() const;

private:
    std::vector<Blob> findBlobs(std::int64_t& changed);

    ObjectDetectorSettings m_settings;
    QImage m_maskImage;
    std::vector<std::uint8_t> m_mask; // at the working size, 0 = ignore
    LumaScaler m_scaler;
    LumaImage m_luma;
    BackgroundModel m_model;
    ObjectTracker m_tracker;
    std::unique_ptr<PersonConfirmer> m_person;
    std::vector<std::uint8_t> m_foreground;
    std::int64_t m_lastMs = 0;
    bool m_started = false;
    QSize m_frameSize;
};

} // namespace vigilux::detection
