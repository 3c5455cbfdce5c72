#include "video/PictureConversion.h"

#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>

namespace vigilux::video {

namespace {

void report(platform::Dialogs& dialogs, int number, const QString& description) {
    dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Vigilux"),
                    QString::number(number) + QStringLiteral(" - ") + description);
}

} // namespace

QByteArray PictureConversion::readFileBytes(const QString& path, platform::Dialogs& dialogs) {
    if (!QFileInfo(path).isFile())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(dialogs, 75, file.errorString());
        return QByteArray();
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        report(dialogs, 57, file.errorString());
        return QByteArray();
    }
    return bytes;
}

QImage PictureConversion::pictureFromBytes(const QByteArray& bytes, platform::Dialogs& dialogs) {
    if (bytes.isEmpty()) {
        dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Vigilux"),
                        QStringLiteral("You must pass a non-empty byte array to this function!"));
        return QImage();
    }
    QImage picture;
    if (!picture.loadFromData(bytes)) {
        report(dialogs, 481, QStringLiteral("Invalid picture"));
        return QImage();
    }
    return picture;
}

} // namespace vigilux::video
