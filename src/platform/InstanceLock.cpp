#include "platform/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace vigilux::platform {

InstanceLock::InstanceLock(const QString& lockPath)
    : m_lock(std::make_unique<QLockFile>(lockPath)) {
    // Never treat a live holder's lock as stale, however old it is.
    m_lock->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryAcquire() {
    return m_lock->tryLock(0);
}

QString InstanceLock::defaultPath(const QString& executablePath) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(executablePath).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return folder + QStringLiteral("/vigilux-") + QString::fromLatin1(key) +
           QStringLiteral(".lock");
}

} // namespace vigilux::platform
