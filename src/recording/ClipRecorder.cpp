#include "recording/ClipRecorder.h"

#include "recording/FrameSaver.h"

#include "core/AppContext.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vigilux::recording {

ClipOptions ClipOptions::clamped() const {
    ClipOptions o = *this;
    o.preRollSeconds = std::clamp(o.preRollSeconds, 0, 10);
    o.postRollSeconds = std::clamp(o.postRollSeconds, 0, 3600);
    o.maxFps = std::clamp(o.maxFps, 1, 60);
    o.maxClipMinutes = std::clamp(o.maxClipMinutes, 1, 600);
    return o;
}

ClipOptions ClipOptions::fromSettings(const core::Settings& s) {
    ClipOptions o;
    o.preRollSeconds = s.clipPreRoll;
    o.postRollSeconds = s.clipPostRoll;
    o.maxFps = s.clipFrameRate;
    o.maxClipMinutes = s.maxClipMinutes;
    return o.clamped();
}

ClipRecorder::ClipRecorder(AppContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context) {
    m_preRoll.configure(std::int64_t{m_options.preRollSeconds} * 1000, m_options.maxFps);
}

// Closes an open clip; no signals go out from here.
ClipRecorder::~ClipRecorder() {
    if (m_writer.isOpen())
        (void)closeFile(); // no one is left to tell; the file keeps its frames
}

void ClipRecorder::setOptions(const ClipOptions& options) {
    const ClipOptions o = options.clamped();
    if (o.preRollSeconds != m_options.preRollSeconds || o.maxFps != m_options.maxFps)
        m_preRoll.configure(std::int64_t{o.preRollSeconds} * 1000, o.maxFps);
    m_options = o;
    m_haveDue = false;
}

bool ClipRecorder::wantsFrameAt(std::int64_t ms) const {
    // As the capture device paces its preview: a quarter period of slack
    // absorbs arrival jitter, whole periods keep the average at the cap. A
    // clock that went back restarts the pacing.
    const double slack = 250.0 / m_options.maxFps;
    return !m_haveDue || (m_haveLast && ms < m_lastMs) ||
           static_cast<double>(ms) >= m_nextDueMs - slack;
}

bool ClipRecorder::rateAllows(std::int64_t ms) {
    if (!wantsFrameAt(ms))
        return false;
    const double period = 1000.0 / m_options.maxFps;
    const double slack = period / 4;
    const auto t = static_cast<double>(ms);
    m_nextDueMs = (m_haveDue ? std::max(m_nextDueMs, t - slack) : t) + period;
    m_haveDue = true;
    return true;
}

void ClipRecorder::addFrame(const uchar* data, const video::FrameLayout& layout, std::int64_t ms) {
    if (m_haveLast && ms < m_lastMs) {
        // The capture clock started again (the device reconnected): what
        // came before belongs to another timeline.
        if (m_state == State::Recording)
            finish();
        m_state = State::Idle;
        m_preRoll.clear();
        m_haveDue = false;
    }
    m_lastMs = ms;
    m_haveLast = true;

    if (m_state == State::Recording && ms > m_endMs && !m_eventOpen)
        finish();
    if (m_state == State::Failed && ms > m_endMs)
        m_state = State::Idle; // the failed clip's event is over; the next one may try again
    if (!rateAllows(ms))
        return;

    QString error;
    const PreRollBuffer::Frame* frame = m_preRoll.push(data, layout, ms, &error);
    if (m_state != State::Recording)
        return;
    if (!frame) {
        fail(error);
        return;
    }
    if (ms > m_endMs)
        return; // a quiet time within the event: kept in the buffer only
    writeFrame(*frame);
}

void ClipRecorder::alarmStep(std::int64_t ms) {
    const std::int64_t end = ms + std::int64_t{m_options.postRollSeconds} * 1000;
    if (m_state == State::Recording && m_lastMs > m_endMs) {
        // Resumed after a quiet time within the event: the buffered frames
        // from PreRoll before this step (the writer skips what it has).
        const std::int64_t from = ms - std::int64_t{m_options.preRollSeconds} * 1000;
        m_endMs = end;
        for (const PreRollBuffer::Frame* frame : m_preRoll.since(from))
            if (!writeFrame(*frame))
                break;
        return;
    }
    if (m_state != State::Idle) {
        m_endMs = std::max(m_endMs, end);
        return;
    }
    begin(ms);
    m_endMs = end;
    const std::int64_t from = ms - std::int64_t{m_options.preRollSeconds} * 1000;
    for (const PreRollBuffer::Frame* frame : m_preRoll.since(from))
        if (!writeFrame(*frame))
            break;
}

void ClipRecorder::startEvent(std::int64_t ms) {
    if (m_state == State::Recording)
        finish();
    m_state = State::Idle; // a clip that failed in the last event may try again
    m_eventOpen = true;
    alarmStep(ms);
}

void ClipRecorder::endEvent() {
    m_eventOpen = false;
    if (m_state == State::Recording && m_haveLast && m_lastMs > m_endMs)
        finish();
}

void ClipRecorder::stop() {
    m_eventOpen = false;
    if (m_state == State::Recording)
        finish();
    m_state = State::Idle;
    m_preRoll.clear();
    m_haveDue = false;
    m_haveLast = false;
}

void ClipRecorder::begin(std::int64_t ms) {
    m_state = State::Recording;
    m_startedAt = m_context.clock.now();
    m_startMs = ms;
    m_path.clear();
}

bool ClipRecorder::writeFrame(const PreRollBuffer::Frame& frame) {
    if (m_writer.isOpen()) {
        const bool tooLong =
            frame.ms - m_firstMs >= std::int64_t{m_options.maxClipMinutes} * 60 * 1000;
        const bool otherFormat =
            frame.layout.size != m_clipSize || frame.layout.pixel != m_clipPixel;
        if (tooLong || otherFormat) {
            // The event goes on in a new clip: memory and file size stay
            // bounded, and a clip never mixes two formats.
            finish();
            begin(frame.ms);
        }
    }
    if (!m_writer.isOpen() && !openFile(frame))
        return false;
    if (const core::Status written = m_writer.write(frame.bytes.data(), frame.layout, frame.ms);
        !written) {
        fail(written.error());
        return false;
    }
    return true;
}

bool ClipRecorder::openFile(const PreRollBuffer::Frame& frame) {
    const core::Settings& s = m_context.settings;
    QString folder = s.savePath;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (s.savePath.isEmpty() || !QFileInfo(folder).isDir()) {
        fail(QStringLiteral("каталог для сохранения недоступен (") +
             QDir::toNativeSeparators(folder) + QLatin1Char(')'));
        return false;
    }
    if (s.createSubfolders) {
        folder += m_startedAt.toString(QStringLiteral("yyyy.MM.dd")) + QLatin1Char('/');
        if (!QDir().mkpath(folder)) {
            fail(QStringLiteral("не удалось создать папку ") + QDir::toNativeSeparators(folder));
            return false;
        }
    }
    if (s.limitFiles)
        m_rotation->makeRoom(folder, s.maxFileCount,
                             [this](const QString& text) { emit status(text); });

    m_path = folder + FrameSaver::timeStampedName(m_startedAt) + QStringLiteral(".mp4");
    ClipWriter::Options options;
    options.fps = m_options.maxFps;
    // The clip begins with its first frame, which may lie in the pre-roll.
    options.creationTime = m_startedAt.addMSecs(frame.ms - m_startMs);
    if (const core::Status opened =
            m_writer.open(m_path, frame.layout.size, frame.layout.pixel, options);
        !opened) {
        fail(opened.error());
        return false;
    }
    m_rotation->hold(m_path);
    m_firstMs = frame.ms;
    m_clipSize = frame.layout.size;
    m_clipPixel = frame.layout.pixel;
    emit clipStarted(m_path);
    return true;
}

void ClipRecorder::finish() {
    m_state = State::Idle;
    if (!m_writer.isOpen())
        return;
    if (const core::Status closed = closeFile(); !closed)
        reportCut(closed.error());
    else if (m_writer.hasPlayableFrame())
        emit clipFinished(m_path);
    else
        QFile::remove(m_path); // a file without a frame would not play
}

void ClipRecorder::fail(const QString& detail) {
    if (m_writer.isOpen()) {
        (void)closeFile(); // keeps what was written; its own error adds nothing
        reportCut(detail);
    } else if (m_path.isEmpty()) {
        emit status(QStringLiteral(" Не удалось записать видео события: ") + detail);
    } else {
        emit status(QStringLiteral(" Не удалось записать видео события ") +
                    QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + detail);
        QFile::remove(m_path); // the file never got a frame
    }
    m_state = State::Failed;
}

void ClipRecorder::reportCut(const QString& detail) {
    // Only whole fragments are on disk; a clip without one would not play
    // and only take up room on a disk that is full already.
    const bool playable = m_writer.hasPlayableFrame();
    QString text = QStringLiteral(" Не удалось записать видео события ") +
                   QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + detail;
    if (!playable) {
        QFile::remove(m_path);
        text += QStringLiteral("; файл без целых кадров удалён");
    }
    emit status(text);
    emit clipCut(m_path, !playable);
    if (playable)
        emit clipFinished(m_path);
}

core::Status ClipRecorder::closeFile() {
    core::Status closed = m_writer.close();
    m_rotation->release(m_path);
    return closed;
}

} // namespace vigilux::recording
