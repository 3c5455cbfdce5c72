#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vigilux::video {

// Which capture device a run watches: a camera by driver index, a video
// file played as a camera, or the built-in demo scene.
struct CaptureSource {
    enum class Kind { Camera, VideoFile, Demo };

    Kind kind = Kind::Camera;
    int index = 0; // camera: QMediaDevices::videoInputs()[index]
    QString path;  // video file

    static CaptureSource camera(int index);
    static CaptureSource videoFile(const QString& path);
    static CaptureSource demo();

    // Reads "--camera N", "--video FILE" or "--demo" from the program's
    // arguments (the first entry is the program and is skipped). Returns
    // nullopt when none is given; `error` gets a message and the result is
    // nullopt for a malformed or conflicting choice.
    static std::optional<CaptureSource> fromArguments(const QStringList& arguments,
                                                      QString* error = nullptr);

    friend bool operator==(const CaptureSource&, const CaptureSource&) = default;
};

} // namespace vigilux::video
