#include "pipeline/WatchPipeline.h"

#include "core/AppContext.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>

#include <cmath>
#include <utility>

namespace vigilux::pipeline {

WatchPipeline::WatchPipeline(AppContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_detector(context)
    , m_saver(context)
    , m_events(context, m_saver)
    , m_journal(m_events.tracker(), [this](const QString& text) { emit status(text); })
    , m_clips(context)
    , m_eventClips(m_clips, m_events.tracker()) {
    // One file limit and one upload guard for pictures and clips.
    m_clips.setRotation(&m_saver.rotation());

    // A step: the event stage first, then the clips, then everyone else.
    connect(&m_detector, &detection::MotionDetector::speedChanged, this,
            &WatchPipeline::speedChanged);
    connect(&m_detector, &detection::MotionDetector::similarityChanged, this,
            &WatchPipeline::onSimilarity);
    connect(&m_detector, &detection::MotionDetector::alarm, this, &WatchPipeline::onAlarm);
    // Called by the detector after the alarm's listeners have run.
    m_detector.setSaveFrame([this] { saveAlarmPicture(); });

    // A saved picture joins its event before anyone outside hears of it.
    connect(&m_saver, &recording::FrameSaver::frameSaved, this, [this](const QString& path) {
        m_events.onPictureSaved(path);
        emit pictureSaved(path);
    });
    // The journal hears of a clip once it has gone out: until then the next
    // start would hand it over again.
    connect(&m_eventClips, &recording::EventClips::clipSaved, this, [this](const QString& path) {
        emit clipSaved(path);
        m_journal.clipHandedOver(path);
    });
    // The journal follows the event after the event recorder, so an ended
    // event's log line is written before the journal lets it go.
    events::EventTracker& tracker = m_events.tracker();
    connect(&tracker, &events::EventTracker::eventStarted, this,
            [this](const events::MotionEvent& e) { m_journal.eventStarted(e); });
    connect(&tracker, &events::EventTracker::fileAdded, this,
            [this](const events::MotionEvent& e, const QString& path) {
                m_journal.fileAdded(e, path);
            });
    connect(&tracker, &events::EventTracker::eventEnded, this,
            [this](const events::MotionEvent& e) { m_journal.eventEnded(e); });
    connect(&m_clips, &recording::ClipRecorder::clipStarted, this,
            [this](const QString& path) { m_journal.clipStarted(path); });
    connect(&m_clips, &recording::ClipRecorder::clipCut, this,
            [this](const QString& path, bool removed) { m_journal.clipCut(path, removed); });

    connect(&m_saver, &recording::FrameSaver::savingStarted, this, &WatchPipeline::savingStarted);
    connect(&m_saver, &recording::FrameSaver::savingFinished, this, &WatchPipeline::savingFinished);
    connect(&m_saver, &recording::FrameSaver::soundRequested, this, &WatchPipeline::soundRequested);
    connect(&m_saver, &recording::FrameSaver::imageFormatChanged, this,
            &WatchPipeline::imageFormatChanged);
    connect(&m_saver, &recording::FrameSaver::watchingMustStop, this,
            &WatchPipeline::watchingMustStop);
    connect(&m_saver, &recording::FrameSaver::status, this, &WatchPipeline::status);
    connect(&m_events, &EventRecorder::status, this, &WatchPipeline::status);
    connect(&m_clips, &recording::ClipRecorder::status, this, &WatchPipeline::status);
}

WatchPipeline::~WatchPipeline() {
    // The open event is logged and its clip closed, as when watching stops.
    stop();
    // Snapshots too are reported (uploads, the phone) before the program
    // ends, unless the disk holds them past the bound.
    m_saver.finishPending(recording::PictureWriter::ShutdownWaitMs);
}

void WatchPipeline::start() {
    if (m_running)
        return;
    m_running = true;
    m_context.watching = true;
    // Clips first: the detector asks the source for its frame rate, which
    // clips may raise.
    m_clipsOn = m_context.settings.eventClips;
    m_clips.setOptions(recording::ClipOptions::fromSettings(m_context.settings));
    m_eventClips.setEnabled(m_clipsOn);
    applyDetectorSettings();
    m_detector.setDetecting(true); // resets the alarm count
    m_events.start();              // numbers events from 1
}

void WatchPipeline::stop() {
    if (!m_running)
        return;
    m_running = false;
    m_clipsOn = false;
    m_detector.setDetecting(false);
    // The event first, so that its log line is written and its pictures are
    // announced before its clip.
    m_events.stop();
    m_eventClips.setEnabled(false);
    m_clips.stop();
    m_context.watching = false;
}

void WatchPipeline::addFrame(const video::FrameHeader& header, const video::FrameLayout& layout) {
    // Frames go to clips only while watching: no alarm step can come
    // otherwise, and the pre-roll would cost a copy per frame.
    const auto ms = static_cast<std::int64_t>(m_context.clock.steadyMs());
    if (m_clipsOn && header.data)
        addClipFrame(header.data, layout, ms);
    if (m_running && header.data && header.bytesUsed >= layout.bytes)
        observeFrame(header.data, layout, ms);
    if (m_detector.grabRequest())
        m_stepLayout = layout;
    m_detector.onFrame(header);
}

bool WatchPipeline::clipsWantFrameAt(std::int64_t ms) const {
    return m_clipsOn && m_clips.wantsFrameAt(ms);
}

void WatchPipeline::addClipFrame(const uchar* data, const video::FrameLayout& layout,
                                 std::int64_t ms) {
    if (m_clipsOn)
        m_clips.addFrame(data, layout, ms);
}

bool WatchPipeline::detectorWantsEveryFrame() const {
    return m_detector.kind() == detection::MotionDetector::Kind::Objects;
}

void WatchPipeline::observeFrame(const uchar* data, const video::FrameLayout& layout,
                                 std::int64_t ms) {
    m_detector.observe(data, layout.bytes, layout, ms);
}

void WatchPipeline::applyDetectorSettings() {
    const core::Settings& s = m_context.settings;
    const bool objects = s.detectorKind == core::Settings::DetectorKind::Objects;
    m_detector.setKind(objects ? detection::MotionDetector::Kind::Objects
                               : detection::MotionDetector::Kind::ByteCompare);
    if (!objects)
        return;
    detection::ObjectDetectorSettings o;
    o.deviationFactor = s.objectSensitivity;
    o.noiseFloor = s.objectNoiseFloor;
    o.minObjectHundredths = s.objectMinSize;
    o.persistenceMs = s.objectPersistence;
    o.learnSeconds = s.objectLearnSeconds;
    o.personOnly = s.objectPersonOnly;
    m_detector.setObjectSettings(o);
    // No mask there: the whole picture.
    const QString mask = maskFile(m_context);
    m_detector.setObjectMask(QFileInfo::exists(mask) ? QImage(mask) : QImage());
}

QString WatchPipeline::maskFile(const AppContext& context) {
    const QString folder = QFileInfo(context.ini.fileName()).absolutePath();
    return QDir(folder).filePath(context.settings.objectMask);
}

void WatchPipeline::step(const video::FrameHeader& header, const video::FrameLayout& layout) {
    m_stepLayout = layout;
    m_detector.onDetectorTick();
    m_detector.onFrame(header);
}

void WatchPipeline::step(const video::FrameHeader& header, const video::FrameLayout& layout,
                         std::span<const detection::MotionDetector::Piece> pieces) {
    m_stepLayout = layout;
    m_detector.onDetectorTick();
    m_detector.onFrame(header, pieces);
}

void WatchPipeline::saveSnapshot(const QImage& picture) {
    m_saver.saveFrame(picture);
}

void WatchPipeline::onSimilarity(qint32 similarity) {
    m_events.onStep(similarity);
    emit similarityChanged(similarity);
}

void WatchPipeline::onAlarm(bool motion) {
    if (motion && detectorWantsEveryFrame()) {
        AlarmArea area;
        area.frameSize = m_stepLayout.size;
        for (const detection::DetectedObject& object : m_detector.objects().objects)
            if (object.alarming)
                area.boxes.append(object.box);
        if (!area.boxes.isEmpty())
            m_lastAlarmArea = std::move(area);
        const detection::ObjectStep& found = m_detector.objects();
        m_events.tracker().setStepObjects(found.objectCount, found.largestHundredths);
    }
    m_events.onAlarm(motion);
    if (motion && m_events.tracker().isOpen())
        m_journal.alarmStep(m_events.tracker().current());
    m_eventClips.onAlarm(motion);
    emit alarm(motion);
}

void WatchPipeline::saveAlarmPicture() {
    // The frame the detector has just judged, converted only now that it is
    // to be kept.
    QImage picture = m_stepLayout.toImage(m_detector.frameBuffer().data());
    if (m_context.settings.objectBoxes && detectorWantsEveryFrame() && !picture.isNull()) {
        // What the object detector found, framed on the picture.
        QPainter painter(&picture);
        painter.setPen(QPen(QColor(255, 40, 40), std::max(1, picture.width() / 320)));
        for (const detection::DetectedObject& object : m_detector.objects().objects)
            if (object.alarming)
                painter.drawRect(object.box);
    }
    m_events.saveAlarmFrame(std::move(picture));
}

} // namespace vigilux::pipeline
