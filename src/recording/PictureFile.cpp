#include "recording/PictureFile.h"

#include <QSaveFile>

#include <algorithm>

namespace vigilux::recording {

namespace {

QString reason(const QSaveFile& file) {
    // A failed write may leave no error code behind (a device that took
    // nothing): still say something.
    return file.error() == QFileDevice::NoError ? QStringLiteral("Ошибка записи")
                                                : file.errorString();
}

} // namespace

PictureFile::PictureFile(qint64 chunkBytes)
    : m_chunkBytes(std::max<qint64>(1, chunkBytes)) {}

qint64 PictureFile::writeChunk(QIODevice& file, const char* data, qint64 size) {
    return file.write(data, size);
}

core::Status PictureFile::write(const QString& path, const QByteArray& bytes) {
    // Never fall back to writing the target in place: a folder that allows
    // no new file gets no half-overwritten picture either.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return core::Status::failure(file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 size = std::min(m_chunkBytes, bytes.size() - done);
        const qint64 written = writeChunk(file, bytes.constData() + done, size);
        if (written <= 0)
            return core::Status::failure(
                reason(file)); // the destructor discards the temporary file
        done += written;
    }
    // The last buffered bytes fail here when the disk is full; commit()
    // would not notice that on its own.
    if (!file.flush() || !file.commit())
        return core::Status::failure(reason(file));
    return {};
}

} // namespace vigilux::recording
