#include "platform/QtSoundOutput.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

namespace vigilux::platform {

QtSoundOutput::QtSoundOutput(QObject* parent)
    : QObject(parent) {}

QtSoundOutput::~QtSoundOutput() {
    if (m_player)
        m_player->stop();
}

void QtSoundOutput::stop() {
    if (m_player)
        m_player->stop();
}

void QtSoundOutput::play(const QByteArray& wav) {
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_player->setAudioOutput(m_output);
    }
    m_player->stop();
    // The player reads from the buffer while it plays: the old one may go
    // only after the player has let go of it.
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(wav);
    buffer->open(QIODevice::ReadOnly);
    m_player->setSourceDevice(buffer.get(), QUrl(QStringLiteral("sound.wav")));
    m_buffer = std::move(buffer);
    m_player->play();
}

} // namespace vigilux::platform
