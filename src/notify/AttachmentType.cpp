#include "notify/AttachmentType.h"

#include <QFileInfo>

namespace vigilux::notify {

QByteArray AttachmentType::of(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("bmp"))
        return "image/bmp";
    if (suffix == QLatin1String("mp4"))
        return "video/mp4";
    if (suffix == QLatin1String("mkv"))
        return "video/x-matroska";
    if (suffix == QLatin1String("avi"))
        return "video/x-msvideo";
    return "application/octet-stream";
}

} // namespace vigilux::notify
