#include "platform/QtSoundOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>

using vigilux::platform::QtSoundOutput;

namespace {
// A PulseAudio server of the test's own, with one null sink "t" whose
// monitor can be recorded. No system daemon or sound card is needed.
class PrivateSoundServer {
public:
    PrivateSoundServer() {
        if (!m_dir.isValid() ||
            QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return;
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"),
                   m_dir.filePath(QStringLiteral("runtime/pulse")));
        env.remove(QStringLiteral("PULSE_SERVER"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_socket = m_dir.filePath(QStringLiteral("native"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        // As root the server refuses to run per-user unless told to.
        m_server.start(
            QStringLiteral("pulseaudio"),
            {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
             QStringLiteral("--system=false"), QStringLiteral("--disallow-exit"),
             QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=false"),
             QStringLiteral("--load=module-null-sink sink_name=t"),
             QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                 m_socket});
        if (!m_server.waitForStarted(5000))
            return;
        // Ready once a client can talk to it; bounded.
        for (int i = 0; i < 50 && m_server.state() == QProcess::Running; ++i) {
            QProcess probe;
            probe.start(QStringLiteral("pactl"),
                        {QStringLiteral("--server=unix:") + m_socket, QStringLiteral("info")});
            if (probe.waitForFinished(5000) && probe.exitCode() == 0) {
                m_ready = true;
                return;
            }
            QTest::qWait(100);
        }
    }
    ~PrivateSoundServer() {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }
    QString address() const { return QStringLiteral("unix:") + m_socket; }
    QString failure() { return QString::fromLocal8Bit(m_server.readAll()); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_socket;
    bool m_ready = false;
};

// Largest absolute sample of a raw 16-bit little-endian recording.
int peak(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = f.readAll();
    int best = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<qint16>(static_cast<quint8>(bytes[i]) |
                                                (static_cast<quint8>(bytes[i + 1]) << 8));
        best = std::max(best, std::abs(int(sample)));
    }
    return best;
}
} // namespace

class TestSoundOutput : public QObject {
    Q_OBJECT
private slots:
    void theAlarmSoundReallyComesOut() {
        // The build puts the program's sounds beside the executables.
        QFile alarm(QCoreApplication::applicationDirPath() + QStringLiteral("/sound/alarm.wav"));
        QVERIFY2(alarm.open(QIODevice::ReadOnly), qPrintable(alarm.fileName()));
        const QByteArray wav = alarm.readAll();
        QVERIFY(wav.startsWith("RIFF"));

        PrivateSoundServer server;
        if (!server.ready())
            QSKIP(qPrintable(QStringLiteral("no PulseAudio server could start here: ") +
                             server.failure()));
        // Qt Multimedia and GStreamer connect at first use, after this.
        qputenv("PULSE_SERVER", server.address().toUtf8());

        const QString recording = server.folder() + QStringLiteral("/monitor.raw");
        QProcess recorder;
        recorder.start(QStringLiteral("parecord"),
                       {QStringLiteral("--server=") + server.address(),
                        QStringLiteral("--device=t.monitor"), QStringLiteral("--raw"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                        QStringLiteral("--rate=22050"), recording});
        QVERIFY(recorder.waitForStarted(5000));

        QtSoundOutput output;
        output.play(wav);
        // The chime peaks at about half of full scale; a null sink's silence
        // is exact zeros.
        QTRY_VERIFY_WITH_TIMEOUT(peak(recording) > 3000, 20000);

        recorder.terminate();
        recorder.waitForFinished(5000);
        output.stop();
    }
};

QTEST_MAIN(TestSoundOutput)
#include "tst_sound_output.moc"
