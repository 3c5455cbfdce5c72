#pragma once

#include "core/DeletionGuard.h"
#include "recording/FileRotation.h"
#include "recording/Imprinter.h"
#include "recording/PictureFile.h"
#include "recording/PictureWriter.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>

namespace vigilux {
struct AppContext;
}

namespace vigilux::recording {

// saveFrame: writes the picture it is given into the save folder (optional
// day folder, file limit with rotation, time-stamped / numbered / fixed
// names, BMP or JPEG, optional date imprint) and reports it with frameSaved.
// Only a complete file is reported, and old files are rotated out only after
// it is in place: a save that fails keeps every earlier picture and says so
// in a box that does not hold up capture.
//
// Threads: the name, the day folder and the rotation's count are chosen on
// the caller's (UI) thread when the picture is given, so the saver's state
// stays in one place; converting, imprinting, encoding, writing, syncing and
// renaming run on the saver's own worker (PictureWriter), one picture at a
// time in the order given. Everything reported (signals, boxes) comes on the
// UI thread in that same order, once the file is complete on disk. When the
// worker is PictureWriter::Capacity pictures behind, a new picture is
// dropped and the status line says so. Rotation passes over every file still
// queued. A synchronous saver (replay) does the whole job inside saveFrame.
class FrameSaver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrameSaver)
public:
    explicit FrameSaver(AppContext& context, QObject* parent = nullptr);
    // Waits (bounded) for the queued pictures to be complete on disk; they
    // are not reported any more (call finishPending() before for that).
    ~FrameSaver() override;

    // Saves `picture` under the time it was taken (its name, day folder and
    // imprint tell that time); an invalid time means the clock's now. A null
    // picture is no frame: saying so is all that happens.
    void saveFrame(QImage picture, const QDateTime& takenAt = QDateTime());

    // Waits at most `ms` for the queued pictures and reports those done (a
    // log line that must name them, watching stopping). True when none is
    // left. Reporting may run listeners that save again.
    bool finishPending(int ms);
    // Pictures given and not yet reported (saved or failed).
    int pendingCount() const { return static_cast<int>(m_pending.size()); }

    // Synchronous: each picture is written inside saveFrame and reported
    // before it returns, so a replay's output follows its steps exactly.
    void setSynchronous(bool on);

    // Rotation asks it before deleting a picture (one still waiting for
    // upload is kept); none: rotation deletes freely.
    void setDeletionGuard(core::DeletionGuard* guard) { m_rotation.setDeletionGuard(guard); }
    // The folder's rotation, shared with whatever else saves into it.
    FileRotation& rotation() { return m_rotation; }

    // How picture files are put in place; tests hand in one that fails.
    // None: the saver's own. Pictures take the one set when they are given;
    // it is used on the worker thread and must outlive them.
    void setPictureFile(PictureFile* file) { m_file = file; }

    // State kept between saves.
    QString saveFolder() const { return m_saveFolder; }
    QString fileName() const { return m_fileName; }
    // The other files in the folder once the last picture under a file
    // limit (or a fixed name) was in place, before rotation.
    int fileCount() const { return m_fileCount; }
    int sequenceNumber() const { return m_sequence; }

    // Numbered names stop at this number and start again from 1.
    static constexpr int MaxSequence = 99999;

    // Pure helpers, exposed for tests and the replay tool.
    static QString timeStampedName(const QDateTime& now); // "yyyy_MM_dd_(hh-mm-ss-cc)"
    static QString imprintText(const QDateTime& now);     // "dd.MM.yyyy hh:mm:ss.cc"
    // Files of a folder as saving sees them: plain entries (no folders),
    // in name order regardless of case, the event log left out.
    static QStringList listFiles(const QString& folder);
    // How many such files the folder holds.
    static int countFiles(const QString& folder);
    // The number a numbered save continues from, given the folder's last
    // file name: the digits after the text before its first digit, plus 1;
    // 0 when the name has no digit.
    static int nextNumberFrom(const QString& lastFile);

signals:
    // A save begins (the "saved" mark shows), and its file is in place (the
    // mark may go after its delay).
    void savingStarted();
    void savingFinished();
    void imageFormatChanged(const QString& value);
    void frameSaved(const QString& path);
    // The save sound is due (imprinted saves, when no alarm sound plays).
    void soundRequested(const QString& path);
    // The save folder is gone while watching: watching must stop.
    void watchingMustStop();
    // One line for the status line (rotation's notes).
    void status(const QString& text);

private:
    // A picture given to the worker, as the UI thread knows it.
    struct Pending {
        QString folder;     // the save folder, ending with '/'
        QStringList held;   // the paths it may take, passed over by rotation
        bool limit = false; // the file limit applies
        int limitCount = 0;
        bool clearFolder = false; // the new file replaces the folder's content
        int sequenceBefore = 0;   // numbered names: the number before and
        int sequence = 0;         // the one this save took
    };

    // Sets `clearFolder` when numbering starts afresh.
    QString numberedName(bool& clearFolder);
    // Takes what the worker has finished and reports it, oldest first.
    void deliverFinished();
    void finish(const Pending& pending, const PictureOutcome& outcome);
    void hold(const QString& path);
    void release(const QString& path);
    void error(const QString& text);

    AppContext& m_context;
    QString m_saveFolder;
    QString m_fileName;
    int m_fileCount = 0;
    int m_sequence = 0;
    FileRotation m_rotation;
    PictureFile* m_file = nullptr;
    bool m_synchronous = false;
    std::deque<Pending> m_pending;         // given, oldest first
    std::deque<PictureOutcome> m_finished; // taken from the worker, not yet reported
    QHash<QString, int> m_holds;           // queued paths and how many saves wait on each
    PictureFile m_inlineFile;              // the synchronous saver's own
    Imprinter m_inlineImprinter;           // likewise
    PictureWriter m_writer;                // last: its worker stops before the rest goes
};

} // namespace vigilux::recording
