#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace vigilux::recording {

// Puts one picture file in place completely or not at all. The bytes go to
// a temporary file beside the target; every write and the final flush are
// checked, and only then does the temporary file take the target's name.
// A full disk, a read-only folder or a failing drive therefore never leaves
// a partial picture under the real name, and whatever had that name before
// stays as it was.
class PictureFile {
public:
    static constexpr qint64 DefaultChunkBytes = 64 * 1024;

    explicit PictureFile(qint64 chunkBytes = DefaultChunkBytes);
    virtual ~PictureFile() = default;
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    // Fails with why the file could not be written (the temporary file is
    // gone by then).
    core::Status write(const QString& path, const QByteArray& bytes);

protected:
    // One write of at most the chunk size into the temporary file; the
    // number of bytes taken, or -1. Tests override it to fail on purpose.
    virtual qint64 writeChunk(QIODevice& file, const char* data, qint64 size);

private:
    qint64 m_chunkBytes;
};

} // namespace vigilux::recording
