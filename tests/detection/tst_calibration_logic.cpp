// The calibration state machine, fed with scripted speed and similarity
// values, and once against a simulated still scene.
#include "core/AppContext.h"
#include "detection/CalibrationLogic.h"
#include "detection/CalibrationView.h"
#include "detection/DetectorSliders.h"
#include "detection/FrameCompare.h"
#include "detection/MotionDetector.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <vector>

using namespace vigilux;
using vigilux::detection::CalibrationLogic;
using Icon = vigilux::platform::Dialogs::Icon;

namespace {

// The detector window's sliders: records writes, keeps the values.
class FakeSliders final : public detection::DetectorSliders {
public:
    void onSliderChanged(core::DetectorValue which, qint32 value) override {
        calls << QStringLiteral("change %1 %2").arg(int(which)).arg(value);
        live[which] = value;
    }
    void setSlider(core::DetectorValue which, qint32 value) override {
        calls << QStringLiteral("set %1 %2").arg(int(which)).arg(value);
        shown[which] = value;
        live[which] = value;
    }
    qint32 sliderValue(core::DetectorValue which) const override { return shown[which]; }
    QStringList calls;
    std::array<qint32, 3> shown{700, 5, 10};
    std::array<qint32, 3> live{700, 5, 10};
};

class FakeView final : public detection::CalibrationView {
public:
    void setInstruction(const QString& text) override { instruction = text; }
    void setStatus(const QString& text) override { status = text; }
    void setButtonsEnabled(bool enabled) override { buttons = enabled; }
    void showProgress() override { progressShown = true; }
    int progressWidth() const override { return 400; }
    void setBarWidth(int width) override { bar = width; }
    void closeWindow() override {
        ++closes;
        if (logic)
            logic->closed();
    }
    CalibrationLogic* logic = nullptr;
    QString instruction;
    QString status;
    bool buttons = true;
    bool progressShown = false;
    int bar = -1;
    int closes = 0;
};

struct Rig {
    Rig()
        : context(clock, dialogs, dir.path())
        , logic(context, sliders, view) {
        view.logic = &logic;
        context.settings.detectorValues = {700, 5, 10};
    }
    // start(), the given speeds, then the 21 ticks that end phase 1.
    void runPhase1(const QList<qint16>& speeds) {
        logic.start();
        for (qint16 v : speeds)
            logic.speedValue(v);
        for (int i = 0; i < 21; ++i)
            logic.onStepTick();
    }
    void feed(const QList<qint32>& similarities) {
        for (qint32 v : similarities)
            logic.similarityValue(v);
    }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context;
    FakeSliders sliders;
    FakeView view;
    CalibrationLogic logic;
};

QList<qint32> repeat(qint32 value, int times) {
    return QList<qint32>(times, value);
}

} // namespace

class TestCalibrationLogic : public QObject {
    Q_OBJECT

private slots:
    void roundingHalvesToEven_data() {
        QTest::addColumn<qint64>("num");
        QTest::addColumn<qint64>("den");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("5/2") << qint64(5) << qint64(2) << qint64(2);
        QTest::newRow("7/2") << qint64(7) << qint64(2) << qint64(4);
        QTest::newRow("-5/2") << qint64(-5) << qint64(2) << qint64(-2);
        QTest::newRow("-7/3") << qint64(-7) << qint64(3) << qint64(-2);
        QTest::newRow("378/4") << qint64(378) << qint64(4) << qint64(94);
        QTest::newRow("380/4") << qint64(380) << qint64(4) << qint64(95);
        QTest::newRow("10/4") << qint64(10) << qint64(4) << qint64(2);
        QTest::newRow("1/3") << qint64(1) << qint64(3) << qint64(0);
    }
    void roundingHalvesToEven() {
        QFETCH(qint64, num);
        QFETCH(qint64, den);
        QFETCH(qint64, expected);
        QCOMPARE(CalibrationLogic::roundHalfEven(num, den), expected);
    }

    void startPreparesPhase1() {
        Rig r;
        r.logic.start();
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::Speed);
        QVERIFY(!r.view.buttons);
        QVERIFY(r.view.progressShown);
        QCOMPARE(r.logic.barWidth(), 400);
        QCOMPARE(r.sliders.calls, QStringList{"change 0 100"});
        QCOMPARE(r.sliders.shown[0], 700); // the slider itself does not move
        QVERIFY(r.logic.stepTimer().isActive());
        QCOMPARE(r.logic.stepTimer().interval(), 500);
        QCOMPARE(r.view.instruction, QStringLiteral("Определение быстродействия компьютера..."));
        QCOMPARE(r.view.status, QStringLiteral("Подключение к сенсору..."));

        r.logic.speedValue(9);
        r.logic.speedValue(11);
        QCOMPARE(r.view.status, QStringLiteral("Получено и обработано: 2 фреймов"));

        // Ticks: the first makes the rest short; 20 fill the bar, the 21st ends.
        r.logic.onStepTick();
        QCOMPARE(r.logic.stepTimer().interval(), 10);
        QCOMPARE(r.view.bar, 400 * 1 / 20);
        for (int i = 2; i <= 20; ++i)
            r.logic.onStepTick();
        QCOMPARE(r.view.bar, 400);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::Speed);
        r.logic.onStepTick();
        QVERIFY(!r.logic.stepTimer().isActive());
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::Noise);
    }

    void intervalFromAverageSpeed_data() {
        QTest::addColumn<QList<qint16>>("speeds");
        QTest::addColumn<qint32>("interval");
        QTest::newRow("average 40: above 5") << QList<qint16>{38, 42, 40} << 500;
        QTest::newRow("average 3") << QList<qint16>{3, 3, 3} << 300;
        QTest::newRow("average exactly 4") << QList<qint16>{4, 4} << 200;
        QTest::newRow("average 5") << QList<qint16>{5} << 200;
        QTest::newRow("average 2") << QList<qint16>{1, 3} << 500;
        QTest::newRow("average 1") << QList<qint16>{1, 1, 1} << 1000;
        QTest::newRow("2.5 rounds to 2") << QList<qint16>{2, 3} << 500;
        QTest::newRow("3.5 rounds to 4") << QList<qint16>{3, 4} << 200;
        // Speeds of 0 and 1 averaging under a half: the slowest interval.
        QTest::newRow("average rounds to 0") << QList<qint16>{0, 0, 1} << 1000;
        // The 16-bit sum stops at its limit instead of wrapping negative.
        QTest::newRow("flooded sum") << QList<qint16>{32767, 32767, 32767} << 500;
    }
    void intervalFromAverageSpeed() {
        QFETCH(QList<qint16>, speeds);
        QFETCH(qint32, interval);
        Rig r;
        r.runPhase1(speeds);
        QVERIFY(r.dialogs.messages.isEmpty());
        QCOMPARE(r.view.closes, 0);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::Noise);
        QCOMPARE(r.sliders.calls,
                 (QStringList{"change 0 100", QStringLiteral("set 0 %1").arg(interval), "set 1 0",
                              "set 2 6"}));
        QCOMPARE(r.view.instruction, QStringLiteral("Определение теплового шума камеры..."));
        QCOMPARE(r.logic.noiseUnderTest(), qint16(0));
        QCOMPARE(r.logic.frameCounter(), qint16(0));
    }

    void phase1Failures_data() {
        QTest::addColumn<QList<qint16>>("speeds");
        QTest::addColumn<QString>("text");
        QTest::newRow("no values")
            << QList<qint16>{} << QStringLiteral("Ошибка автокалибровки: сенсор не отвечает");
        QTest::newRow("speeds sum to 0")
            << QList<qint16>{0, 0, 0}
            << QStringLiteral(
                   "Недостаточно вычислительной мощности для работы в выбранном разрешении");
    }
    void phase1Failures() {
        QFETCH(QList<qint16>, speeds);
        QFETCH(QString, text);
        Rig r;
        r.context.settings.detectorValues[0] = 800; // stored, not what the slider shows
        r.runPhase1(speeds);
        QCOMPARE(r.sliders.calls, (QStringList{"change 0 100", "set 0 800"}));
        QCOMPARE(r.dialogs.messages.size(), 1);
        QCOMPARE(r.dialogs.messages[0].icon, Icon::Error);
        QCOMPARE(r.dialogs.messages[0].title, QStringLiteral("Ошибка"));
        QCOMPARE(r.dialogs.messages[0].text, text);
        QCOMPARE(r.view.closes, 1);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
    }

    void noiseSearchStopsAtFirstQuietGroup_data() {
        QTest::addColumn<QList<qint32>>("values");
        QTest::addColumn<qint16>("noise");
        QTest::addColumn<QStringList>("noiseWrites");
        QTest::newRow("96 95 94 95 at noise 0")
            << QList<qint32>{96, 95, 94, 95} << qint16(0) << QStringList{"set 1 0"};
        // 378 / 4 = 94.5 rounds to 94: not quiet yet.
        QTest::newRow("94.5 is not enough, then quiet")
            << QList<qint32>{95, 95, 94, 94, 95, 95, 95, 95} << qint16(1)
            << QStringList{"set 1 1", "set 1 1"};
        QTest::newRow("two loud groups")
            << (repeat(50, 4) + repeat(80, 4) + repeat(99, 4)) << qint16(2)
            << QStringList{"set 1 1", "set 1 2", "set 1 2"};
    }
    void noiseSearchStopsAtFirstQuietGroup() {
        QFETCH(QList<qint32>, values);
        QFETCH(qint16, noise);
        QFETCH(QStringList, noiseWrites);
        Rig r;
        r.runPhase1({10});
        r.sliders.calls.clear();
        r.feed(values);
        QCOMPARE(r.sliders.calls, noiseWrites);
        QCOMPARE(r.sliders.shown[1], qint32(noise));
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::LargestDifference);
        QCOMPARE(r.view.instruction,
                 QStringLiteral("Определение максимального расхождения кадров..."));
        QCOMPARE(r.view.status, QStringLiteral("Пробую шумность: %1, обработано фреймов: %2")
                                    .arg(noise)
                                    .arg(values.size()));
        QCOMPARE(r.view.bar, 400 * int(values.size()) / 60);
        QVERIFY(r.dialogs.messages.isEmpty());
    }

    void noiseSearchGivesUpAfter60Frames() {
        Rig r;
        r.runPhase1({10});
        r.feed(repeat(90, 60));
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::Noise);
        QCOMPARE(r.view.status, QStringLiteral("Пробую шумность: 14, обработано фреймов: 60"));
        QCOMPARE(r.view.bar, 400);
        QVERIFY(r.dialogs.messages.isEmpty());
        r.feed({99}); // the 61st
        QCOMPARE(r.dialogs.messages.size(), 1);
        const auto& m = r.dialogs.messages[0];
        QCOMPARE(m.icon, Icon::Error);
        QCOMPARE(m.title, QStringLiteral("Ошибка"));
        QCOMPARE(m.text,
                 QStringLiteral(
                     "Ошибка автокалибровки, возможные причины:\r\n\r\n"
                     "- шумность камеры слишком велика для уверенной работы детектора движения;\r\n"
                     "- мерцающее освещение, либо перепады освещения;\r\n"
                     "- во время калибровки происходило движение в кадре;\r\n"
                     "- камера неустойчиво закреплена.\r\n\r\n"
                     "Устраните причины ошибки и попробуйте снова, либо отрегулируйте настройки "
                     "вручную."));
        QCOMPARE(r.view.closes, 1);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
        QCOMPARE(r.sliders.shown[1], 15);
        QCOMPARE(r.sliders.shown[2], 6);
    }

    void largestDifferencePlusTwo_data() {
        QTest::addColumn<QList<qint32>>("values");
        QTest::addColumn<qint32>("percent");
        QTest::newRow("100 97 99 98 ...") << (QList<qint32>{100, 97, 99, 98} + repeat(99, 16)) << 5;
        QTest::newRow("still frames") << repeat(100, 20) << 2;
        // A full change: the slider's end, not 102.
        QTest::newRow("full change") << (repeat(99, 19) + QList<qint32>{0}) << 100;
    }
    void largestDifferencePlusTwo() {
        QFETCH(QList<qint32>, values);
        QFETCH(qint32, percent);
        Rig r;
        r.runPhase1({3});
        r.feed({96, 95, 94, 95});
        r.sliders.calls.clear();
        r.feed(values);
        QCOMPARE(r.view.status, QStringLiteral("Обработано: 20 фреймов из 20"));
        QCOMPARE(r.view.bar, 400);
        QVERIFY(r.sliders.calls.isEmpty());
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::LargestDifference);

        r.feed({50}); // the 21st ends the phase; its value is not counted
        QCOMPARE(r.sliders.calls, QStringList{QStringLiteral("set 2 %1").arg(percent)});
        QCOMPARE(r.dialogs.messages.size(), 1);
        const auto& m = r.dialogs.messages[0];
        QCOMPARE(m.icon, Icon::Information);
        QCOMPARE(m.title, QStringLiteral("Результаты теста"));
        QCOMPARE(m.text, QStringLiteral("Автоматически установлены следующие параметры:\r\n\r\n"
                                        "- периодичность съемки: 300 мсек\r\n"
                                        "- шумность камеры: 0%\r\n"
                                        "- расхождение кадров, не более: %1%\r\n\r\n"
                                        "При необходимости скорректируйте эти параметры\r\n"
                                        "в окне настроек сенсора и сохраните их.")
                             .arg(percent));
        QCOMPARE(r.view.closes, 1);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
    }

    void valuesOutsideTheirPhaseChangeNothing() {
        Rig r;
        r.feed({10, 20});
        r.logic.speedValue(5);
        QCOMPARE(r.logic.accumulator(), qint16(0));
        QCOMPARE(r.logic.frameCounter(), qint16(0));

        r.logic.start();
        r.feed({10, 20}); // phase 1 takes speeds only
        QCOMPARE(r.logic.frameCounter(), qint16(0));
        QCOMPARE(r.logic.accumulator(), qint16(0));
        for (int i = 0; i < 21; ++i)
            r.logic.onStepTick();
        // The similarities did not count as speeds: no answer from the sensor.
        QCOMPARE(r.dialogs.messages.size(), 1);
        QCOMPARE(r.dialogs.messages[0].text,
                 QStringLiteral("Ошибка автокалибровки: сенсор не отвечает"));

        Rig s;
        s.runPhase1({4});
        const QString status = s.view.status;
        s.logic.speedValue(30); // phase 2 takes similarities only
        QCOMPARE(s.logic.accumulator(), qint16(0));
        QCOMPARE(s.logic.frameCounter(), qint16(0));
        QCOMPARE(s.view.status, status);
    }

    void closingStopsEverything() {
        Rig r;
        r.logic.start();
        r.logic.speedValue(10);
        r.logic.closed();
        QVERIFY(!r.logic.stepTimer().isActive());
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
        // The detector ran at 100 ms while the slider showed 700: back to 700.
        QCOMPARE(r.sliders.calls, (QStringList{"change 0 100", "change 0 700"}));
        QCOMPARE(r.sliders.live[0], 700);

        // Nothing revives a closed calibration.
        r.logic.onStepTick();
        r.logic.start();
        r.logic.speedValue(10);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
        QCOMPARE(r.sliders.calls.size(), 2);

        // Closed in phase 3: the values already written stay.
        Rig s;
        s.runPhase1({2});
        s.feed({99, 99, 99, 99, 97});
        s.sliders.calls.clear();
        s.logic.closed();
        QVERIFY(s.sliders.calls.isEmpty());
        QCOMPARE(s.sliders.shown, (std::array<qint32, 3>{500, 0, 6}));
        QCOMPARE(s.context.calibrationPhase, core::CalibrationPhase::None);
        s.feed(repeat(99, 30));
        QVERIFY(s.dialogs.messages.isEmpty());
    }

    void silentSensorInLaterPhasesEndsTheCalibration() {
        Rig r;
        r.logic.setStallBoundMs(30);
        r.runPhase1({5});
        r.feed({90, 90});
        QTRY_COMPARE_WITH_TIMEOUT(r.dialogs.messages.size(), 1, 5000);
        QCOMPARE(r.dialogs.messages[0].text,
                 QStringLiteral("Ошибка автокалибровки: сенсор не отвечает"));
        QCOMPARE(r.view.closes, 1);
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
    }

    // A still, noisy scene simulated byte for byte through the detector's own
    // compare: the values found keep every further still frame below the
    // alarm threshold, while a real change still alarms.
    void stillSceneCalibrationStopsFalseAlarms() {
        constexpr std::size_t n = 64 * 1024;
        constexpr int amplitude = 3; // sensor noise of +-3 per byte
        QRandomGenerator random(20261206);
        std::vector<uchar> scene(n);
        for (uchar& b : scene)
            b = static_cast<uchar>(20 + random.bounded(200));
        auto frame = [&] {
            std::vector<uchar> f(n);
            for (std::size_t i = 0; i < n; ++i)
                f[i] = static_cast<uchar>(scene[i] + random.bounded(-amplitude, amplitude + 1));
            return f;
        };
        std::vector<uchar> previous = frame();
        // One detector step with the noise now in force, as a similarity.
        auto step = [&](const std::vector<uchar>& f, int noise) {
            const auto unchanged =
                detection::FrameCompare::compareCopy(f.data(), previous.data(), n, noise);
            return detection::MotionDetector::similarityPercent(unchanged, n);
        };

        Rig r;
        r.runPhase1({12, 11, 12});
        int guard = 0;
        while ((r.context.calibrationPhase == core::CalibrationPhase::Noise ||
                r.context.calibrationPhase == core::CalibrationPhase::LargestDifference) &&
               ++guard < 200)
            r.logic.similarityValue(step(frame(), r.sliders.live[1]));
        QCOMPARE(r.context.calibrationPhase, core::CalibrationPhase::None);
        QCOMPARE(r.dialogs.messages.size(), 1);
        QCOMPARE(r.dialogs.messages[0].title, QStringLiteral("Результаты теста"));

        const int noise = r.sliders.live[1];
        const int percent = r.sliders.live[2];
        QVERIFY2(noise >= 1 && noise <= 15, qPrintable(QString::number(noise)));
        QVERIFY2(percent > 2 && percent < 20, qPrintable(QString::number(percent)));
        const int threshold = 100 - percent; // alarm when the similarity is below
        for (int i = 0; i < 300; ++i) {
            const qint32 similarity = step(frame(), noise);
            QVERIFY2(
                similarity >= threshold,
                qPrintable(QStringLiteral("false alarm: %1 < %2").arg(similarity).arg(threshold)));
        }
        // A quarter of the picture changing by far more than the noise alarms.
        std::vector<uchar> moved = frame();
        for (std::size_t i = 0; i < n / 4; ++i)
            moved[i] = static_cast<uchar>(moved[i] + 100);
        QVERIFY(step(moved, noise) < threshold);
    }
};

QTEST_GUILESS_MAIN(TestCalibrationLogic)
#include "tst_calibration_logic.moc"
