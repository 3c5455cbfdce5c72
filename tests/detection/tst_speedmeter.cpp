#include "detection/SpeedMeter.h"

#include "support/FakeClock.h"

#include <QTest>

using vigilux::detection::SpeedMeter;
using vigilux::test::FakeClock;

using Durations = QList<double>;

class TestSpeedMeter : public QObject {
    Q_OBJECT

private slots:
    void speedOfRecentSteps_data() {
        QTest::addColumn<Durations>("durations");
        QTest::addColumn<int>("expected");

        QTest::newRow("steps of 20 ms") << Durations(10, 20.0) << 50;
        Durations alternating;
        for (int i = 0; i < 10; ++i)
            alternating << 10.0 << 30.0;
        QTest::newRow("10 and 30 ms alternating") << alternating << 50;
        Durations nearlyFour(99, 4.0);
        nearlyFour << 3.0;
        QTest::newRow("mean 3.99 ms reads 251") << nearlyFour << 251;
        // Only the last 100 count: 100 slow steps are forgotten.
        Durations slowThenFast(100, 50.0);
        slowThenFast << Durations(100, 20.0);
        QTest::newRow("window holds the last 100") << slowThenFast << 50;
        Durations oneFast(100, 20.0);
        oneFast << 10.0;
        QTest::newRow("oldest dropped first") << oneFast << 50; // mean 19.9 -> 50.25
        QTest::newRow("single step") << Durations{8.0} << 125;
        QTest::newRow("mean 1.6 ms: 625 exactly") << Durations{1.6} << 625;
        QTest::newRow("half rounds to even") << Durations{80.0} << 12;                   // 12.5
        QTest::newRow("half rounds to even, up") << Durations{100.0, 100.0, 200.0} << 8; // 7.5
        QTest::newRow("sub-millisecond steps") << Durations(5, 0.25) << 4000;
        QTest::newRow("mean 0 saturates") << Durations(5, 0.0) << 32767;
        Durations tiny(99, 0.0);
        tiny << 1.0;
        QTest::newRow("1000/mean beyond 16 bits saturates") << tiny << 32767;
        QTest::newRow("slow step") << Durations{3000.0} << 0;
    }

    void speedOfRecentSteps() {
        QFETCH(Durations, durations);
        QFETCH(int, expected);
        FakeClock clock;
        SpeedMeter meter(clock);
        qint16 speed = -1;
        for (double d : durations) {
            meter.markStart();
            clock.advance(d);
            speed = meter.readSpeed();
            clock.advance(7.0); // time between steps is not measured
        }
        QCOMPARE(int(speed), expected);
        QCOMPARE(meter.count(), std::min<int>(int(durations.size()), SpeedMeter::kWindow));
    }

    // A long run must not drift: after 200000 sub-millisecond steps the
    // reading is the same as after the first hundred.
    void runningSumDoesNotDrift() {
        FakeClock clock;
        SpeedMeter meter(clock);
        qint16 speed = 0;
        for (int i = 0; i < 200000; ++i) {
            meter.markStart();
            clock.advance(i % 2 ? 0.3 : 0.1);
            speed = meter.readSpeed();
        }
        QCOMPARE(int(speed), 5000);
    }

    void timeText_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hundredths with leading zero") << QTime(21, 30, 5, 70) << "21:30:05.07";
        QTest::newRow("truncated, not rounded") << QTime(9, 5, 3, 999) << "09:05:03.99";
        QTest::newRow("midnight") << QTime(0, 0, 0, 0) << "00:00:00.00";
        QTest::newRow("below ten ms") << QTime(23, 59, 59, 9) << "23:59:59.00";
    }

    void timeText() {
        QFETCH(QTime, time);
        QFETCH(QString, expected);
        FakeClock clock(QDateTime(QDate(2026, 1, 2), time));
        QCOMPARE(SpeedMeter(clock).timeText(), expected);
    }
};

QTEST_GUILESS_MAIN(TestSpeedMeter)
#include "tst_speedmeter.moc"
