#include "app/SoundPlayer.h"

#include "platform/SoundOutput.h"

#include <QFile>
#include <QFileInfo>

namespace vigilux::app {

SoundPlayer::SoundPlayer(platform::SoundOutput& output)
    : m_output(output) {}

void SoundPlayer::PlayWaveFile(const QString& Path) {
    if (Path.isEmpty() || !QFileInfo(Path).isFile())
        return;
    PlaySoundData(LoadSoundFile(Path), 1);
}

QByteArray SoundPlayer::LoadSoundFile(const QString& FileName) {
    QFile file(FileName);
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

void SoundPlayer::PlaySoundData(const QByteArray& Data, qint16 Flags) {
    // Flags are always "asynchronous, from memory" here; the output plays
    // every sound that way.
    Q_UNUSED(Flags);
    if (Data.isEmpty())
        return;
    m_output.stop();
    m_output.play(Data);
}

} // namespace vigilux::app
