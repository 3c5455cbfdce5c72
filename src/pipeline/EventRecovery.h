#pragma once

#include "core/StatusSink.h"
#include "events/MotionEvent.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vigilux::pipeline {

// What the last run left open and the next start finished: an event whose
// events.csv line has just been written (it was interrupted: a kill, a
// power cut) and the clips to hand to the upload queue and the phone.
struct RecoveredEvent {
    events::MotionEvent event; // file and clip paths absolute
    bool loggedNow = false;    // its line was missing: its end was never told
    QStringList clips;         // playable clips not yet handed over, in order
};

// Finishes, at start and before watching begins, what EventJournal recorded
// as open:
// - an event without its events.csv line gets one, marked interrupted, its
//   end the later of the journal's last alarm step and its clip's last
//   playable frame;
// - a clip not handed over is handed over (handOver) when a frame of it
//   decodes, and removed (said in the status line) when none does; its
//   event's line then names no clip and is marked cut.
// Each step is marked in the journal as it is done and the journal is
// emptied at the end, so a second start (or a kill during this one) does
// nothing twice. Only files inside the save folder are read, handed over or
// removed, whatever the journal names. UI thread; blocks while it decodes
// the clips (a clip of an event is minutes long at most).
class EventRecovery final {
public:
    using HandOver = std::function<void(const RecoveredEvent&)>;

    EventRecovery(QString journalPath, QString saveFolder, core::StatusSink status = {});

    // Returns the events finished (logged now or with clips handed over).
    int run(const HandOver& handOver);

    // Whether a frame of `clip` decodes; `lastFrame` gets the time of the
    // last one that does (invalid when the clip does not say when it began).
    static bool plays(const QString& clip, QDateTime* lastFrame = nullptr);

private:
    QString m_journalPath;
    QString m_saveFolder;
    core::StatusSink m_status;
};

} // namespace vigilux::pipeline
