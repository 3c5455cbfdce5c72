#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vigilux::events {

// One motion event: the alarm steps from the first one after a quiet time to
// the last one before the next quiet time of at least the event gap.
//
// Times are those of the first and the last alarm step (not of the moment
// the quiet time ran out), so an event of a single step lasts 0 s. The
// steady times come from the program's Clock (media time in a replay); the
// local times are what the event log prints.
struct MotionEvent {
    int number = 0;           // 1, 2, ... since watch mode was switched on
    double startMs = 0.0;     // steady time of the first alarm step
    double endMs = 0.0;       // steady time of the last alarm step so far
    QDateTime startTime;      // local time of the first alarm step
    QDateTime endTime;        // local time of the last alarm step so far
    int steps = 0;            // alarm steps in the event
    int peakChange = 0;       // largest share of changed bytes seen, percent
    QStringList files;        // saved pictures, in the order they were written
    QStringList clips;        // video clips of the event, in the order they began
    bool interrupted = false; // the program stopped mid-event (a kill, a power cut)
    bool clipCut = false;     // a clip of it ended early on a write error (a full disk)
    // The object detector's findings (0 with the byte compare): most
    // objects in one alarm step, and the largest one's area in hundredths
    // of a percent of the picture.
    int peakObjects = 0;
    int largestObject = 0;

    double durationSeconds() const { return (endMs - startMs) / 1000.0; }
};

} // namespace vigilux::events
