#include "pipeline/EventJournal.h"

#include "events/EventTracker.h"
#include "events/MotionEvent.h"

#include <QDir>

#include <utility>

namespace vigilux::pipeline {

namespace {

// A long event is written again in short after this many records.
constexpr int CompactAfter = 500;
// An event's progress is written at most this often (ms of its own time).
constexpr qint64 SeenEveryMs = 1000;

qint64 keyOf(const events::MotionEvent& event) {
    return event.startTime.toMSecsSinceEpoch();
}

QString record(std::initializer_list<QString> fields) {
    return QStringList(fields).join(QLatin1Char('\t'));
}

QString num(qint64 value) {
    return QString::number(value);
}

} // namespace

EventJournal::EventJournal(events::EventTracker& tracker, core::StatusSink status)
    : m_tracker(tracker)
    , m_status(std::move(status)) {}

EventJournal::~EventJournal() = default;

void EventJournal::setPath(const QString& path) {
    m_journal = path.isEmpty() ? nullptr : std::make_unique<core::LineJournal>(path);
    m_appended = 0;
}

QString EventJournal::path() const {
    return m_journal ? m_journal->path() : QString();
}

EventJournal::Event* EventJournal::find(qint64 key) {
    for (Event& e : m_events)
        if (e.start == key)
            return &e;
    return nullptr;
}

void EventJournal::eventStarted(const events::MotionEvent& event) {
    Event e;
    e.start = keyOf(event);
    e.number = event.number;
    e.seen = event.endTime.toMSecsSinceEpoch();
    e.steps = event.steps;
    e.peak = event.peakChange;
    m_events << e;
    write(record({QStringLiteral("event"), num(e.start), num(e.number)}));
    write(record({QStringLiteral("seen"), num(e.start), num(e.seen), num(e.steps), num(e.peak)}));
}

void EventJournal::alarmStep(const events::MotionEvent& event) {
    Event* e = find(keyOf(event));
    if (!e || e->logged)
        return;
    const qint64 seen = event.endTime.toMSecsSinceEpoch();
    const bool due = seen - e->seen >= SeenEveryMs || event.peakChange > e->peak;
    e->steps = event.steps;
    e->peak = event.peakChange;
    if (!due)
        return;
    e->seen = seen;
    write(
        record({QStringLiteral("seen"), num(e->start), num(e->seen), num(e->steps), num(e->peak)}));
}

void EventJournal::fileAdded(const events::MotionEvent& event, const QString& path) {
    Event* e = find(keyOf(event));
    if (!e || e->logged)
        return;
    e->files = static_cast<int>(event.files.size());
    if (e->firstFile.isEmpty())
        e->firstFile = path;
    e->lastFile = path;
    write(record({QStringLiteral("file"), num(e->start), num(e->files), path}));
}

void EventJournal::eventEnded(const events::MotionEvent& event) {
    const qint64 key = keyOf(event);
    for (Event& e : m_events) {
        if (e.start != key || e.logged)
            continue;
        // The log line is written by now (the event recorder hears the end
        // first); an ended event is not an interrupted one even when its
        // line could not be written.
        e.logged = true;
        write(record({QStringLiteral("logged"), num(e.start)}));
    }
    compactWhenDone();
}

void EventJournal::clipStarted(const QString& path) {
    // The clip belongs to the event the tracker has open (the event clips
    // start one only then).
    const qint64 key = m_tracker.isOpen() ? keyOf(m_tracker.current()) : 0;
    m_clips.insert(path, key);
    m_clipOrder << path;
    write(record({QStringLiteral("clip"), num(key), path}));
}

void EventJournal::clipCut(const QString& path, bool removed) {
    const qint64 key = m_clips.value(path, -1);
    for (Event& e : m_events)
        if (e.start == key && !e.cut) {
            e.cut = true;
            write(record({QStringLiteral("cut"), num(key)}));
        }
    if (removed)
        closeClip(path);
}

void EventJournal::clipHandedOver(const QString& path) {
    closeClip(path);
}

void EventJournal::closeClip(const QString& path) {
    if (!m_clips.remove(path))
        return;
    m_clipOrder.removeAll(path);
    write(record({QStringLiteral("closed"), path}));
    compactWhenDone();
}

void EventJournal::compactWhenDone() {
    // An event is done once logged with none of its clips still open.
    QList<Event> left;
    for (const Event& e : std::as_const(m_events)) {
        bool clipOpen = false;
        for (auto it = m_clips.cbegin(); it != m_clips.cend() && !clipOpen; ++it)
            clipOpen = it.value() == e.start;
        if (!e.logged || clipOpen)
            left << e;
    }
    m_events = left;
    if (!m_journal)
        return;
    if (m_events.isEmpty() && m_clips.isEmpty()) {
        if (m_appended > 0 && m_journal->rewrite({}))
            m_appended = 0;
    } else if (m_appended > CompactAfter && m_journal->rewrite(snapshot())) {
        m_appended = 0;
    }
}

QStringList EventJournal::snapshot() const {
    QStringList records;
    for (const Event& e : m_events) {
        records << record({QStringLiteral("event"), num(e.start), num(e.number)})
                << record({QStringLiteral("seen"), num(e.start), num(e.seen), num(e.steps),
                           num(e.peak)});
        if (e.files > 0)
            records << record({QStringLiteral("file"), num(e.start), num(1), e.firstFile});
        if (e.files > 1)
            records << record({QStringLiteral("file"), num(e.start), num(e.files), e.lastFile});
        if (e.cut)
            records << record({QStringLiteral("cut"), num(e.start)});
        if (e.logged)
            records << record({QStringLiteral("logged"), num(e.start)});
    }
    for (const QString& clip : m_clipOrder)
        records << record({QStringLiteral("clip"), num(m_clips.value(clip)), clip});
    return records;
}

void EventJournal::write(const QString& line) {
    if (!m_journal)
        return;
    if (!m_journal->append(line)) {
        if (!m_failing && m_status)
            m_status(QStringLiteral(" Не удалось записать журнал открытых событий ") +
                     QDir::toNativeSeparators(m_journal->path()) + QStringLiteral(": ") +
                     m_journal->lastError());
        m_failing = true;
        return;
    }
    m_failing = false;
    ++m_appended;
    if (m_appended > CompactAfter)
        compactWhenDone();
}

} // namespace vigilux::pipeline
