#include "recording/PictureWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace vigilux::recording {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Encodes and writes one file; fails with the text to show.
core::Status writePicture(const QImage& picture, const QString& path, const char* format,
                          int quality, PictureFile& file) {
    const bool jpeg = qstrcmp(format, "jpg") == 0;
    // Encoded in memory first, so the file sees plain checked writes and an
    // encoder failure is told apart from a disk that refuses the bytes.
    QByteArray bytes;
    // Room for a typical picture up front: growing by doubling would copy
    // the bytes again and again.
    bytes.reserve(jpeg ? picture.width() * picture.height() / 2 + 4096
                       : static_cast<qsizetype>(picture.sizeInBytes()) + 1024);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (jpeg)
        writer.setQuality(std::clamp(quality, 0, 100));
    QString failure;
    if (!writer.write(picture)) {
        if (jpeg)
            return core::Status::failure(QStringLiteral("5 - Cannot save the image. GDI+ Error:") +
                                         QString::number(static_cast<int>(writer.error())));
        failure = writer.errorString();
    } else {
        const core::Status written = file.write(path, bytes);
        if (written)
            return written;
        failure = written.error();
    }
    return core::Status::failure(QStringLiteral("Не удалось записать снимок") + CrLf +
                                 QDir::toNativeSeparators(path) + CrLf + CrLf + failure);
}

} // namespace

PictureOutcome PictureWriter::write(PictureJob job, PictureFile& ownFile, Imprinter& imprinter) {
    PictureFile& file = job.file != nullptr ? *job.file : ownFile;
    QImage picture = std::move(job.picture);
    // 24-bit pictures: what BMP viewers expect and the fastest JPEG input.
    if (picture.format() != QImage::Format_RGB888)
        picture = std::move(picture).convertToFormat(QImage::Format_RGB888);
    if (!job.imprint.isEmpty())
        imprinter.draw(picture, job.imprint);

    PictureOutcome outcome;
    const QString bmpPath = job.base + QStringLiteral(".bmp");
    if (!job.jpeg) {
        const core::Status bmp = writePicture(picture, bmpPath, "bmp", job.quality, file);
        if (bmp)
            outcome.path = bmpPath;
        else
            outcome.errors << bmp.error();
        return outcome;
    }
    const QString jpgPath = job.base + QStringLiteral(".jpg");
    const core::Status jpg = writePicture(picture, jpgPath, "jpg", job.quality, file);
    if (jpg) {
        QFile::remove(bmpPath); // a stale picture of the same name must not survive
        outcome.path = jpgPath;
        return outcome;
    }
    // The box says why the JPEG failed; the frame is still kept as BMP when
    // that can be written (one box either way).
    outcome.errors << jpg.error();
    if (writePicture(picture, bmpPath, "bmp", job.quality, file))
        outcome.path = bmpPath;
    return outcome;
}

// Everything the worker touches, so a worker left behind by the destructor
// never reaches into a gone writer.
struct PictureWriter::Shared {
    std::mutex mutex;
    std::condition_variable wake; // a job came, or the writer stops
    std::condition_variable done; // an outcome came
    std::deque<PictureJob> jobs;
    std::vector<PictureOutcome> finished;
    std::function<void()> notify;
    int outstanding = 0; // submitted, outcome not yet in `finished`
    bool stopping = false;
    PictureFile ownFile;
    Imprinter imprinter;
    std::thread thread;

    void run() {
#ifdef __linux__
        // Batch work: woken by a new picture, the worker waits for its turn
        // instead of taking the core from the thread that draws.
        const sched_param param{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
#endif
        for (;;) {
            PictureJob job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !jobs.empty(); });
                // Stopping still writes what was queued.
                if (jobs.empty())
                    return;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            PictureOutcome outcome = write(std::move(job), ownFile, imprinter);
            std::lock_guard lock(mutex);
            finished.push_back(std::move(outcome));
            --outstanding;
            done.notify_all();
            // Under the lock: the owner clears it under the same lock before
            // it goes.
            if (notify)
                notify();
        }
    }
};

PictureWriter::PictureWriter(std::function<void()> finished)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->notify = std::move(finished);
    // The worker keeps the shared part alive for as long as it runs.
    m_shared->thread = std::thread([shared = m_shared] { shared->run(); });
}

PictureWriter::~PictureWriter() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->notify = nullptr;
        m_shared->stopping = true;
    }
    m_shared->wake.notify_all();
    if (waitForAll(ShutdownWaitMs))
        m_shared->thread.join();
    else
        m_shared->thread.detach(); // a dead disk: the process may not wait for ever
}

bool PictureWriter::submit(PictureJob job) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->outstanding >= Capacity)
            return false;
        m_shared->jobs.push_back(std::move(job));
        ++m_shared->outstanding;
    }
    ++m_pending;
    m_shared->wake.notify_one();
    return true;
}

std::vector<PictureOutcome> PictureWriter::takeFinished() {
    std::vector<PictureOutcome> taken;
    {
        std::lock_guard lock(m_shared->mutex);
        taken.swap(m_shared->finished);
    }
    m_pending -= static_cast<int>(taken.size());
    return taken;
}

bool PictureWriter::waitForAll(int ms) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->done.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)),
                                   [this] { return m_shared->outstanding == 0; });
}

} // namespace vigilux::recording
