#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vigilux::platform {

namespace {

QString systemReason(int error) {
    switch (error) {
    case ENOENT:
        return QStringLiteral("файл не найден");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case ELOOP:
        return QStringLiteral("символическая ссылка");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Takes over `fd` when it is a regular file; closes it otherwise.
bool adopt(QFile& file, int fd, QIODevice::OpenMode mode, QString* why) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (why)
            *why = QStringLiteral("не обычный файл");
        return false;
    }
    // Non-blocking mattered only for the open itself.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.close();
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool RegularFile::openForReading(QFile& file, const QString& path, Links links, QString* why) {
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        if (why)
            *why = systemReason(errno);
        return false;
    }
    return adopt(file, fd, QIODevice::ReadOnly, why);
}

bool RegularFile::openForAppend(QFile& file, const QString& path, QString* why) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (why)
            *why = systemReason(errno);
        return false;
    }
    return adopt(file, fd, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, why);
}

bool RegularFile::isInside(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QFileInfo file(path);
    const QString real = file.canonicalFilePath();
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty() || !QFileInfo(real).isFile())
        return false;
    return real.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

bool RegularFile::makePrivateFolder(const QString& folder) {
    QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makePrivateFolder(parent))
        return false;
    return QDir().mkdir(info.absoluteFilePath(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
           QFileInfo(folder).isDir();
}

bool RegularFile::makePrivate(const QString& path) {
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace vigilux::platform
