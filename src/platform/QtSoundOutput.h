#pragma once

#include "platform/SoundOutput.h"

#include <QBuffer>
#include <QObject>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace vigilux::platform {

// Plays WAV images through Qt Multimedia from an in-memory buffer. The
// player is created on the first sound, so a machine without audio costs
// nothing until a sound is asked for.
class QtSoundOutput final : public QObject, public SoundOutput {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtSoundOutput)
public:
    explicit QtSoundOutput(QObject* parent = nullptr);
    ~QtSoundOutput() override;

    void stop() override;
    void play(const QByteArray& wav) override;

private:
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_output = nullptr;
    std::unique_ptr<QBuffer> m_buffer;
};

} // namespace vigilux::platform
