#pragma once

#include "core/DeletionGuard.h"
#include "recording/FileRotation.h"
#include "recording/PictureFile.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

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
class FrameSaver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrameSaver)
public:
    explicit FrameSaver(AppContext& context, QObject* parent = nullptr);

    // Saves `picture` under the time it was taken (its name, day folder and
    // imprint tell that time); an invalid time means the clock's now. A null
    // picture is no frame: saying so is all that happens.
    void saveFrame(const QImage& picture, const QDateTime& takenAt = QDateTime());

    // Rotation asks it before deleting a picture (one still waiting for
    // upload is kept); none: rotation deletes freely.
    void setDeletionGuard(core::DeletionGuard* guard) { m_rotation.setDeletionGuard(guard); }
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
    // Deletes up to n files of the save folder in listing order, never
    // `keep` (the picture just written).
    void rotate(int n, const QString& keep);
    // Sets `clearFolder` when numbering starts afresh.
    QString numberedName(bool& clearFolder);
    // Writes the picture as the settings ask (JPEG falling back to BMP) and
    // shows why a file could not be written; the path written, or fails
    // when nothing was.
    core::Result<QString> store(const QImage& picture, const QString& base);
    // Encodes and writes one file; fails with the text to show.
    core::Status writePicture(const QImage& picture, const QString& path, const char* format);
    void save(QImage picture, const QDateTime& takenAt);
    void report(const QString& path);
    void error(const QString& text);

    AppContext& m_context;
    QString m_saveFolder;
    QString m_fileName;
    int m_fileCount = 0;
    int m_sequence = 0;
    FileRotation m_rotation;
    PictureFile m_ownFile;
    PictureFile* m_file = &m_ownFile;
};

} // namespace vigilux::recording
