#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace vigilux::web {

// What the remote view shows of the program at one moment.
struct RemoteViewState {
    bool watching = false;
    int detectorLevel = 0;     // the latest motion level, in percent
    int detectorThreshold = 0; // the level that counts as an alarm
    // Alerts (sound, balloon, program, messages) are muted until this time;
    // invalid: not muted. A far-future time means "until unmuted".
    QDateTime mutedUntil;
    bool mutedForever = false;
    QDateTime watchingSince; // invalid when not watching
    int eventsToday = 0;
    QDateTime lastEvent;     // invalid when there was none
    int picturesWaiting = 0; // for upload
    int messagesWaiting = 0; // for delivery
    QString cameraHealth;    // one line, shown as it is
};

// How long the alerts go quiet.
enum class MuteChoice { Minutes15, Hour1, UntilUnmuted, Unmute };

// The program as the remote view sees it; the program implements it, tests
// use a fake.
//
// Threading: the getters are called on the web server's own thread, never on
// the UI thread, so a viewer never makes a detector step wait; they must be
// thread-safe and quick (copy a snapshot under a short lock). latestJpeg()
// is asked at most five times a second however many viewers watch, and not
// at all while nobody does, so it may scale and encode the latest frame
// itself. The actions are called on the thread that owns the RemoteViewServer
// (the UI thread), queued from the server's thread, so they may touch the
// pipeline directly. The source must outlive the server.
class RemoteViewSource {
public:
    virtual ~RemoteViewSource() = default;

    // The latest frame as JPEG, already smaller than the camera's size;
    // empty when there is none yet.
    virtual QByteArray latestJpeg() = 0;
    virtual RemoteViewState state() = 0;
    // The folder pictures and clips are saved in, and the events.csv path.
    virtual QString saveFolder() = 0;
    virtual QString eventLogPath() = 0;

    virtual void setWatching(bool on) = 0;
    virtual void mute(MuteChoice choice) = 0;
    virtual void takeSnapshot() = 0;
};

} // namespace vigilux::web
