#pragma once

#include "capture/DeletionGuard.h"
#include "capture/FileRotation.h"
#include "capture/PictureFile.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vigilux {
struct AppContext;
}

namespace vigilux::capture {

// What saving a frame needs from the window it lives in. The capture
// control implements it.
class FrameSaverHost {
public:
    virtual ~FrameSaverHost() = default;

    // The latest captured frame, converted to a picture now (only saving
    // converts frames). A null image means no frame could be had.
    virtual QImage currentFrame() = 0;

    virtual void showSavingIndicator() = 0;     // the "saved" mark, shown and repainted
    virtual void startIndicatorHideTimer() = 0; // the mark's savedMarkTimer
    virtual void toggleWatching() = 0;
    virtual void playSound(const QString& path) = 0;
    virtual void showStatus(const QString& text) = 0; // the main window's status line
};

// saveFrame: writes the current frame into the save folder (optional day
// folder, file limit with rotation, time-stamped / numbered / fixed names,
// BMP or JPEG, optional date imprint) and reports it with frameSaved.
// Only a complete file is reported, and old files are rotated out only after
// it is in place: a save that fails keeps every earlier picture and says so
// in a box that does not hold up capture.
class FrameSaver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrameSaver)
public:
    FrameSaver(AppContext& context, FrameSaverHost& host, QObject* parent = nullptr);

    void saveFrame();
    // Saves a frame taken earlier (kept in memory) under the time it was
    // taken: its name, day folder and imprint tell that time.
    void saveFrame(const QImage& picture, const QDateTime& takenAt);

    // Rotation asks it before deleting a picture (one still waiting for
    // upload is kept); none: rotation deletes freely.
    void setDeletionGuard(DeletionGuard* guard) { m_rotation.setDeletionGuard(guard); }
    // The folder's rotation, shared with whatever else saves into it.
    FileRotation& rotation() { return m_rotation; }

    // How picture files are put in place; tests hand in one that fails.
    // None: the saver's own.
    void setPictureFile(PictureFile* file) { m_file = file != nullptr ? file : &m_ownFile; }

    // State kept between saves.
    QString saveFolder() const { return m_saveFolder; }
    QString fileName() const { return m_fileName; }
    int fileCount() const { return m_fileCount; }
    int sequenceNumber() const { return m_sequence; }

    // Numbered names stop at this number and start again from 1.
    static constexpr int MaxSequence = 99999;

    // Pure helpers, exposed for tests and the replay tool.
    static QString timeStampedName(const QDateTime& now); // "yyyy_MM_dd_(hh-mm-ss-cc)"
    static QString imprintText(const QDateTime& now);     // "dd.MM.yyyy hh:mm:ss.cc"
    // Draws the imprint: black at (2, 2), then white at (3, 1).
    static void imprint(QImage& picture, const QString& text);
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
    void imageFormatChanged(const QString& value);
    void frameSaved(const QString& path);

private:
    // Deletes up to n files of the save folder in listing order, never
    // `keep` (the picture just written).
    void rotate(int n, const QString& keep);
    // Sets `clearFolder` when numbering starts afresh.
    QString numberedName(bool& clearFolder);
    // Writes the picture as the settings ask (JPEG falling back to BMP);
    // the path written, or "" after showing why nothing was.
    QString store(const QImage& picture, const QString& base);
    // Encodes and writes one file; "" on success, else the text to show.
    QString writePicture(const QImage& picture, const QString& path, const char* format);
    void save(QImage picture, const QDateTime& takenAt);
    void report(const QString& path);
    void error(const QString& text);

    AppContext& m_context;
    FrameSaverHost& m_host;
    QString m_saveFolder;
    QString m_fileName;
    int m_fileCount = 0;
    int m_sequence = 0;
    FileRotation m_rotation;
    PictureFile m_ownFile;
    PictureFile* m_file = &m_ownFile;
};

} // namespace vigilux::capture
