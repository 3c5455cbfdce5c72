#pragma once

#include <QByteArray>
#include <QString>

namespace vigilux::platform {
class SoundOutput;
}

namespace vigilux::app {

// Plays sound files for the alarm and the save: asynchronously, from a copy
// in memory, a new sound cutting off the one still playing.
class SoundPlayer final {
public:
    explicit SoundPlayer(platform::SoundOutput& output);

    // Plays the file at `path` if there is one; returns at once.
    void playFile(const QString& path);

    // The whole file, read in blocks of 1024 bytes; empty on any error.
    static QByteArray loadSoundFile(const QString& fileName);

    // Stops any sound playing, then plays `data`; nothing for empty data.
    void playData(const QByteArray& data, qint16 flags);

    // Sound files larger than this are not loaded: a sound that long is a
    // mistake, and reading it would stall the alarm chain.
    static constexpr qint64 MaxSoundFileSize = 64LL * 1024 * 1024;

private:
    platform::SoundOutput& m_output;
};

} // namespace vigilux::app
