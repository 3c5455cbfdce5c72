#include "ui/MotionLevelBar.h"
#include "ui/MotionLevelBarGeometry.h"

#include <QTest>

using vigilux::ui::MotionLevelBar;
namespace G = vigilux::ui::MotionLevelBarGeometry;

class TestMotionLevelBar : public QObject {
    Q_OBJECT

private slots:
    void markTop_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("top");
        QTest::newRow("whole") << 4000 << 70 << 2800 - 30;
        QTest::newRow("half rounds down to even") << 4050 << 1 << 40 - 30; // 40.5
        QTest::newRow("half rounds up to even") << 4050 << 3 << 122 - 30;  // 121.5
        QTest::newRow("zero threshold sits above the scale") << 4000 << 0 << -30;
    }

    void markTop() {
        QFETCH(int, height);
        QFETCH(int, threshold);
        QFETCH(int, top);
        QCOMPARE(G::markTop(height, threshold), top);
    }

    void ticks_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("majors");
        QTest::newRow("design height") << 4000 << 40 << 101 << 21; // majors every 200
        QTest::newRow("step 40.5 rounds to 40") << 4050 << 40 << 102 << 21;
        QTest::newRow("step 41.5 rounds to 42") << 4150 << 42 << 99 << 2; // majors every 2100
        QTest::newRow("tiny scale still ends") << 30 << 1 << 31 << 1;
        QTest::newRow("empty scale") << 0 << 1 << 1 << 1;
    }

    void ticks() {
        QFETCH(int, height);
        QFETCH(int, step);
        QFETCH(int, count);
        QFETCH(int, majors);
        QCOMPARE(G::scaleStep(height), step);
        const auto ticks = G::ticks(height);
        QCOMPARE(int(ticks.size()), count);
        QCOMPARE(int(std::count_if(ticks.begin(), ticks.end(),
                                   [](const G::Tick& t) { return t.major; })),
                 majors);
        QVERIFY(ticks.back().y <= height);
        for (const auto& t : ticks)
            QCOMPARE(t.length, t.y % 100 == 0 ? 50 : 10);
    }

    // The bar follows the similarity; its colour says whether it is above the
    // threshold (green) or at or below it (red). 0 leaves it where it was.
    void levelAndColour() {
        MotionLevelBar sensor;
        sensor.resize(sensor.width(), 200); // 3000 units
        sensor.show();
        QCOMPARE(sensor.scale()->height(), 200);
        sensor.showThreshold(70);

        sensor.showLevel(70);
        QCOMPARE(sensor.barColour(), MotionLevelBar::kMotionColour);
        QCOMPARE(sensor.barTopUnits(), 2100.0);
        QCOMPARE(sensor.bar()->y(), 140);
        sensor.showLevel(71);
        QCOMPARE(sensor.barColour(), MotionLevelBar::kQuietColour);
        QCOMPARE(sensor.barTopUnits(), 2130.0);

        sensor.showLevel(0);
        QCOMPARE(sensor.barTopUnits(), 2130.0);
        QCOMPARE(sensor.barColour(), MotionLevelBar::kQuietColour);

        // The colour uses the threshold as last received, even when the mark
        // was not redrawn.
        sensor.showThreshold(90);
        sensor.showLevel(80);
        QCOMPARE(sensor.barColour(), MotionLevelBar::kMotionColour);
    }

    void markRedrawsOnlyWhenNeeded() {
        MotionLevelBar sensor;
        sensor.resize(sensor.width(), 200);
        sensor.show();
        const int before = sensor.markRedraws();
        sensor.showThreshold(40);
        sensor.showThreshold(40);
        QCOMPARE(sensor.markRedraws(), before + 1);
        QCOMPARE(sensor.markTopUnits(), 1200 - 30);
        QCOMPARE(sensor.mark()->y(), 78);
        QCOMPARE(sensor.mark()->height(), 2);
        sensor.showThreshold(40, true);
        QCOMPARE(sensor.markRedraws(), before + 2);

        // A resize rescales the scale and redraws the mark for the new height.
        sensor.resize(sensor.width(), 300);
        QCOMPARE(sensor.scale()->height(), 300);
        QCOMPARE(sensor.markRedraws(), before + 3);
        QCOMPARE(sensor.markTopUnits(), 1800 - 30);
    }

    void indicatorVisibility() {
        MotionLevelBar sensor;
        sensor.setIndicatorVisible(true);
        QVERIFY(sensor.isVisible());
        sensor.setIndicatorVisible(false);
        QVERIFY(!sensor.isVisible());
    }
};

QTEST_MAIN(TestMotionLevelBar)
#include "tst_motion_level_bar.moc"
