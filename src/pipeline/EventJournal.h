#pragma once

#include "core/LineJournal.h"
#include "core/StatusSink.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace vigilux::events {
class EventTracker;
struct MotionEvent;
} // namespace vigilux::events

namespace vigilux::pipeline {

// A journal of what a kill or a power cut would leave unfinished: the open
// motion event (until its events.csv line is written) and every clip file
// (from its creation until it is handed to the upload queue and the phone,
// or removed). EventRecovery reads it at the next start.
//
// Records, one line each, fields separated by tabs, an event named by its
// start (ms since the epoch):
//   event  START NUMBER       an event began
//   seen   START END STEPS PEAK   its latest alarm step (at most one a second)
//   file   START COUNT PATH   its COUNT-th saved picture
//   clip   START PATH         a clip of it was created, before its first frame
//   cut    START              a clip of it ended early on a write error
//   logged START              its events.csv line is written
//   closed PATH               the clip is handed over or removed
// When nothing is left open the journal is emptied; a long event is written
// again in short (its first and last picture) now and then, so the file
// stays small.
//
// Off until a path is set (replay and most tests keep it off). UI thread
// only; the tracker must outlive the journal.
class EventJournal final {
public:
    static QString fileName() { return QStringLiteral("open-events.journal"); }

    explicit EventJournal(events::EventTracker& tracker, core::StatusSink status = {});
    ~EventJournal();
    EventJournal(const EventJournal&) = delete;
    EventJournal& operator=(const EventJournal&) = delete;

    // The journal's file (beside options.ini); empty: off. Call before
    // watching starts, once the last run's journal has been recovered.
    void setPath(const QString& path);
    QString path() const;

    // Fed by the watch pipeline.
    void eventStarted(const events::MotionEvent& event);
    void alarmStep(const events::MotionEvent& event);
    void fileAdded(const events::MotionEvent& event, const QString& path);
    void eventEnded(const events::MotionEvent& event);
    void clipStarted(const QString& path);
    void clipCut(const QString& path, bool removed);
    void clipHandedOver(const QString& path);

    // What the journal keeps of one event: written while it runs, read back
    // by the recovery at the next start.
    struct EventRecord {
        int number = 0;
        qint64 seen = 0;
        int steps = 0;
        int peak = 0;
        QString firstFile;
        QString lastFile;
        int files = 0;
        bool cut = false;
        bool logged = false;
    };

private:
    struct Event : EventRecord {
        qint64 start = 0;
    };

    void write(const QString& record);
    void closeClip(const QString& path);
    void compactWhenDone();
    QStringList snapshot() const;
    Event* find(qint64 start);

    events::EventTracker& m_tracker;
    core::StatusSink m_status;
    std::unique_ptr<core::LineJournal> m_journal;
    QList<Event> m_events;          // events still open or with clips still open
    QHash<QString, qint64> m_clips; // open clips and the start of their event
    QStringList m_clipOrder;        // the same clips in the order they began
    int m_appended = 0;             // records since the last rewrite
    bool m_failing = false;         // a failure is said once until a write succeeds
};

} // namespace vigilux::pipeline
