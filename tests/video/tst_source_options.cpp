// The capture source the user chose, kept in options.ini, with the network
// camera's password in the keyring (or scrambled when there is none).
#include "core/IniFile.h"
#include "platform/Keyring.h"
#include "video/SourceOptions.h"

#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vigilux;
using video::CaptureSource;
using video::SourceOptions;

Q_DECLARE_METATYPE(CaptureSource)

namespace {

enum class Keys { Working, Failing, None };

// A keyring in memory answering on the next turn of the event loop.
struct FakeKeyring final : platform::Keyring {
    QMap<QString, QString> values;
    bool working = true;
    void read(const QString& key, ReadDone done) override {
        QTimer::singleShot(0, [=, this] { done(working, values.value(key)); });
    }
    void write(const QString& key, const QString& value, WriteDone done) override {
        QTimer::singleShot(0, [=, this] {
            if (working)
                values.insert(key, value);
            done(working);
        });
    }
};

const QString Password = QStringLiteral("s3cr@t:пароль");

CaptureSource network(const QString& address, CaptureSource::Transport transport, int snapshotMs) {
    CaptureSource s = CaptureSource::network(address, QStringLiteral("admin"), Password);
    s.transport = transport;
    s.snapshotIntervalMs = snapshotMs;
    return s;
}

} // namespace

class SourceOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<CaptureSource>("source");
        QTest::addColumn<int>("keys");
        const auto rtsp =
            network(QStringLiteral("rtsp://10.0.0.5:554/live"), CaptureSource::Transport::Udp, 0);
        const auto snap = network(QStringLiteral("http://cam.local/snap.jpg?ch=1"),
                                  CaptureSource::Transport::Tcp, 250);
        for (auto [name, keys] :
             {std::pair{"keyring", Keys::Working}, std::pair{"keyring refuses", Keys::Failing},
              std::pair{"no keyring", Keys::None}}) {
            QTest::addRow("rtsp udp, %s", name) << rtsp << int(keys);
            QTest::addRow("snapshot, %s", name) << snap << int(keys);
        }
        QTest::newRow("camera 2") << CaptureSource::camera(2) << int(Keys::Working);
        QTest::newRow("video file")
            << CaptureSource::videoFile(QStringLiteral("/v/a, b.mp4")) << int(Keys::None);
        QTest::newRow("demo") << CaptureSource::demo() << int(Keys::None);
    }
    // What is saved comes back, and the password is never in options.ini
    // as typed; with a working keyring not even scrambled.
    void roundTrip() {
        QFETCH(CaptureSource, source);
        QFETCH(int, keys);
        QTemporaryDir dir;
        core::IniFile ini;
        ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        FakeKeyring keyring;
        keyring.working = Keys(keys) != Keys::Failing;
        platform::Keyring* store = Keys(keys) == Keys::None ? nullptr : &keyring;

        SourceOptions saving(ini, store);
        QSignalSpy saved(&saving, &SourceOptions::saved);
        saving.save(source);
        QVERIFY(saved.wait());
        const bool network = source.kind == CaptureSource::Kind::Network;
        if (network)
            QCOMPARE(saved.at(0).at(0).toBool(), Keys(keys) == Keys::Working);

        QFile file(ini.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(!text.contains(QStringLiteral("s3cr")), qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("Pass=")), network && Keys(keys) != Keys::Working);

        SourceOptions loading(ini, store);
        QVERIFY(loading.hasStoredSource());
        QSignalSpy loaded(&loading, &SourceOptions::loaded);
        loading.load();
        QVERIFY(loaded.wait());
        QVERIFY(loaded.at(0).at(1).toString().isEmpty());
        QCOMPARE(loaded.at(0).at(0).value<CaptureSource>(), source);
    }
};

QTEST_GUILESS_MAIN(SourceOptionsTest)
#include "tst_source_options.moc"
