// Camera health on scripted frame sequences, on a fake clock.
#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "video/CameraHealth.h"
#include "video/CameraHealthMonitor.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace vigilux;
using video::CameraHealth;
using video::FrameSignature;

namespace {

// A grey 64x48 frame: a gradient with sensor noise ('n'), the previous
// frame again ('s'), one with faint noise only a re-encoder leaves ('r'), or
// nearly one colour ('u', a covered lens).
FrameSignature frameOf(QChar kind, std::vector<uchar>& pixels, QRandomGenerator& random) {
    const video::FrameLayout layout =
        video::FrameLayout::packed(video::FrameLayout::Pixel::Gray8, QSize(64, 48));
    pixels.resize(size_t(layout.bytes));
    for (int i = 0; i < layout.bytes; ++i) {
        const int base = kind == 'u' ? 12 : 40 + (i % 64) * 2;
        if (kind == 'n')
            pixels[size_t(i)] = uchar(base + random.bounded(-3, 4));
        else if (kind == 'r')
            pixels[size_t(i)] = uchar(base + (random.bounded(20) == 0 ? 1 : 0));
        else if (kind == 'u')
            pixels[size_t(i)] = uchar(base + random.bounded(0, 3));
    }
    return FrameSignature::of(layout, pixels.data());
}

} // namespace

class CameraHealthTest : public QObject {
    Q_OBJECT
private slots:
    // A script is a list of steps "KIND COUNT": COUNT frames of KIND (or
    // ticks, 't') 100 ms apart; the alerts raised must be `expected`.
    void alerts_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("healthy noisy scene") << "n 900"
                                             << "";
        QTest::newRow("lost once, restored") << "n 10, t 300, n 1, t 50"
                                             << "Lost Restored";
        QTest::newRow("lost only after 10 s") << "n 10, t 99"
                                              << "";
        QTest::newRow("repeated frame freezes") << "n 1, s 400, n 1"
                                                << "Frozen Restored";
        QTest::newRow("re-encoded repeat freezes") << "n 1, r 400"
                                                   << "Frozen";
        QTest::newRow("frozen only after 30 s") << "n 1, s 299"
                                                << "";
        QTest::newRow("covered, never frozen") << "n 5, u 400, n 1"
                                               << "Covered Restored";
        QTest::newRow("flicker of cover resets") << "u 90, n 1, u 90"
                                                 << "";
        QTest::newRow("two outages") << "n 5, t 150, n 5, t 150, n 1"
                                     << "Lost Restored Lost Restored";
    }
    void alerts() {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        test::FakeClock clock;
        CameraHealth health(clock);
        QRandomGenerator random(7);
        std::vector<uchar> pixels;
        FrameSignature last;
        QStringList seen;
        auto note = [&](const std::vector<CameraHealth::Alert>& alerts) {
            for (CameraHealth::Alert a : alerts)
                seen << QStringList{"Lost", "Frozen", "Covered", "Restored"}.at(int(a));
        };
        for (const QString& step : script.split(QStringLiteral(", "))) {
            const QChar kind = step.at(0);
            for (int i = 0, n = step.mid(2).toInt(); i < n; ++i) {
                clock.advance(100);
                note(health.tick());
                if (kind == 't')
                    continue;
                if (kind != 's')
                    last = frameOf(kind, pixels, random);
                note(health.frame(last));
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), expected);
    }

    // The monitor reads the frames a real device presents (here RGB) and
    // says what happened in Russian.
    void monitorWatchesDevice() {
        test::FakeClock clock;
        test::FakeCaptureDevice device;
        device.size = QSize(64, 48);
        device.connectDriver();
        device.setPreview(true);
        video::CameraHealthMonitor monitor(clock);
        QSignalSpy alerts(&monitor, &video::CameraHealthMonitor::alert);
        monitor.watch(&device);
        for (int i = 0; i < 120; ++i, clock.advance(100))
            QVERIFY(device.pushFilled(3)); // a lens cap: black
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts.at(0).at(1).toString(), "Камера закрыта или снимает в темноте");
        clock.advance(10000);
        monitor.onTick();
        QCOMPARE(alerts.size(), 2);
        QCOMPARE(alerts.at(1).at(1).toString(), "Нет сигнала от камеры");
    }
};

QTEST_GUILESS_MAIN(CameraHealthTest)
#include "tst_camera_health.moc"
