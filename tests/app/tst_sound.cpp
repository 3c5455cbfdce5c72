#include "app/SoundPlayer.h"
#include "platform/SoundOutput.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {
class RecordingOutput final : public platform::SoundOutput {
public:
    QStringList calls;
    QByteArray last;
    void stop() override { calls << QStringLiteral("stop"); }
    void play(const QByteArray& wav) override {
        calls << QStringLiteral("play");
        last = wav;
    }
};
} // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT
private slots:
    void loadReadsWholeFilesAcrossBlockBoundaries_data() {
        QTest::addColumn<int>("size");
        for (int size : {0, 1, 1023, 1024, 1025, 5000})
            QTest::addRow("%d bytes", size) << size;
    }
    void loadReadsWholeFilesAcrossBlockBoundaries() {
        QFETCH(int, size);
        QTemporaryDir dir;
        QByteArray content(size, '\0');
        for (int i = 0; i < size; ++i)
            content[i] = static_cast<char>(i * 7 + 3);
        const QString path = dir.filePath(QStringLiteral("s.wav"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(app::SoundPlayer::loadSoundFile(path), content);
    }

    void unreadableFilesLoadEmpty() {
        QTemporaryDir dir;
        QVERIFY(app::SoundPlayer::loadSoundFile(dir.filePath(QStringLiteral("none.wav"))).isEmpty());
        QVERIFY(app::SoundPlayer::loadSoundFile(dir.path()).isEmpty()); // a folder
    }

    void playingCutsOffAndSkipsMissingOrEmptyFiles() {
        QTemporaryDir dir;
        RecordingOutput out;
        app::SoundPlayer sound(out);
        sound.playFile(dir.filePath(QStringLiteral("missing.wav")));
        sound.playFile(QString());
        QVERIFY(out.calls.isEmpty());

        const QString empty = dir.filePath(QStringLiteral("empty.wav"));
        QFile(empty).open(QIODevice::WriteOnly);
        sound.playFile(empty);
        QVERIFY(out.calls.isEmpty());

        const QString alarm = dir.filePath(QStringLiteral("alarm.wav"));
        QFile f(alarm);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF....WAVE");
        f.close();
        sound.playFile(alarm);
        sound.playFile(alarm);
        // Each new sound stops the one before it instead of queueing.
        QCOMPARE(out.calls, (QStringList{QStringLiteral("stop"), QStringLiteral("play"),
                                         QStringLiteral("stop"), QStringLiteral("play")}));
        QCOMPARE(out.last, QByteArray("RIFF....WAVE"));
    }
};

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_sound.moc"
