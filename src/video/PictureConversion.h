#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vigilux::platform {
class Dialogs;
}

namespace vigilux::video {

// Reading a picture file into memory and turning bytes into a picture.
// Failures are told to the user in a message box and give an empty result.
class PictureConversion final {
public:
    PictureConversion() = delete;

    // All bytes of the file, or empty when there is no such file.
    static QByteArray readFileBytes(const QString& path, platform::Dialogs& dialogs);

    // The picture the bytes hold (BMP, JPEG, PNG...), or a null image.
    static QImage pictureFromBytes(const QByteArray& bytes, platform::Dialogs& dialogs);
};

} // namespace vigilux::video
