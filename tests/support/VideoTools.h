#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace vigilux::test {

// Runs ffmpeg quietly with these arguments (overwriting the output); true
// when it made the file. False also when ffmpeg is not installed.
bool runFfmpeg(const QStringList& args);

// Six seconds of footage made with ffmpeg (MPEG-4 in MP4, 160x120 at `fps`):
// a still grey scene (0x606060) that a light box (0xe0e0e0, 40x40) crosses
// fast, from 1.5 s to 3 s. Returns `path`, or "" when ffmpeg failed.
QString makeCrossingFootage(const QString& path, int fps);

// ffprobe's view of a video file: the first video stream's codec_name,
// pix_fmt, width, height and nb_read_frames (every frame decoded) and the
// format's duration, as key=value pairs; empty when ffprobe refused the file.
QMap<QString, QString> probeVideo(const QString& file);

// The lines of an event log after its header, split at the commas (the
// names our tests give hold none).
QList<QStringList> readEventLog(const QString& path);

} // namespace vigilux::test
