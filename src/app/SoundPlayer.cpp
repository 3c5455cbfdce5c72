#include "app/SoundPlayer.h"

#include "platform/SoundOutput.h"

#include <QFile>
#include <QFileInfo>

namespace vigilux::app {

SoundPlayer::SoundPlayer(platform::SoundOutput& output)
    : m_output(output) {}

void SoundPlayer::playFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    playData(loadSoundFile(path), 1);
}

QByteArray SoundPlayer::loadSoundFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSoundFileSize)
        return QByteArray();
    QByteArray content;
    content.reserve(static_cast<qsizetype>(file.size()));
    char block[1024];
    for (;;) {
        const qint64 n = file.read(block, sizeof block);
        if (n < 0)
            return QByteArray();
        if (n == 0)
            break;
        content.append(block, static_cast<qsizetype>(n));
    }
    return content;
}

void SoundPlayer::playData(const QByteArray& data, qint16 flags) {
    // `flags` are always "asynchronous, from memory" here; the output plays
    // every sound that way.
    Q_UNUSED(flags);
    if (data.isEmpty())
        return;
    m_output.stop();
    m_output.play(data);
}

} // namespace vigilux::app
