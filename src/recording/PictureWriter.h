#pragma once

#include "recording/Imprinter.h"
#include "recording/PictureFile.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace vigilux::recording {

// One picture to put on disk, everything about it decided beforehand.
struct PictureJob {
    QImage picture;
    QString imprint; // drawn into the top-left corner; empty: none
    QString base;    // the path without its extension
    bool jpeg = false;
    int quality = 75;
    PictureFile* file = nullptr; // none: the writer's own
};

// What became of a job: the file written (empty when none was) and the
// error boxes due, in the order they arose.
struct PictureOutcome {
    QString path;
    QStringList errors;
};

// Encodes and writes pictures on a thread of its own, one at a time and in
// the order they were submitted, so nothing that waits for the disk runs on
// the caller's thread. At most Capacity pictures wait (the one being written
// included); a submit beyond that is refused rather than queued, so a disk
// that cannot keep up costs pictures, not memory.
//
// Outcomes are collected in submission order; `finished` is called on the
// worker thread after each one (it should only post a wake-up to the owner's
// thread, which then calls takeFinished()). The destructor waits for the
// pictures still queued, at most ShutdownWaitMs; a worker stuck on a dead
// disk past that is left to finish alone (it owns what it uses) and
// `finished` is no longer called. Every member is called from one thread.
class PictureWriter final {
public:
    static constexpr int Capacity = 6;
    static constexpr int ShutdownWaitMs = 5000;

    explicit PictureWriter(std::function<void()> finished);
    ~PictureWriter();
    PictureWriter(const PictureWriter&) = delete;
    PictureWriter& operator=(const PictureWriter&) = delete;

    // False when Capacity pictures already wait.
    bool submit(PictureJob job);
    // Pictures submitted whose outcome has not been taken yet.
    int pending() const { return m_pending; }
    // The outcomes ready so far, oldest first.
    std::vector<PictureOutcome> takeFinished();
    // Waits until every submitted picture has its outcome, at most `ms`;
    // true when they all have.
    bool waitForAll(int ms);

    // The whole job on the calling thread: the picture made 24-bit, the
    // imprint drawn, encoded (a JPEG that fails falls back to BMP), written
    // through the job's PictureFile (or `ownFile`).
    static PictureOutcome write(PictureJob job, PictureFile& ownFile, Imprinter& imprinter);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    int m_pending = 0;
};

} // namespace vigilux::recording
