// The arithmetic under the controls: slider steps, access keys, button
// layout, tip placement, colour offsets.
#include "controls/AccessKey.h"
#include "controls/ButtonLayout.h"
#include "controls/SliderGeometry.h"
#include "controls/SystemColor.h"
#include "controls/TipPlacement.h"

#include <QTest>

using namespace vigilux::controls;

class TestControlGeometry : public QObject {
    Q_OBJECT
private slots:
    void dragSnapsToSteps_data() {
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("step");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("moved");
        // 49 steps of 100 over 490 pixels: 10 pixels a step.
        QTest::newRow("start") << 490 << 100 << 5000 << 100 << 0.0 << 100 << true;
        QTest::newRow("rounds down") << 490 << 100 << 5000 << 100 << 14.9 << 200 << true;
        QTest::newRow("rounds up") << 490 << 100 << 5000 << 100 << 15.1 << 300 << true;
        QTest::newRow("end") << 490 << 100 << 5000 << 100 << 490.0 << 5000 << true;
        // 10 / 4 leaves a partial last step: its end maps above the maximum.
        QTest::newRow("partial last step clamps") << 100 << 0 << 10 << 4 << 100.0 << 10 << false;
        QTest::newRow("negative range") << 200 << -100 << 100 << 1 << 100.0 << 0 << true;
    }
    void dragSnapsToSteps() {
        QFETCH(int, track);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, step);
        QFETCH(double, offset);
        QFETCH(int, value);
        QFETCH(bool, moved);
        const auto drag = SliderGeometry::dragTo(offset, track, min, max, step);
        QVERIFY(drag.has_value());
        QCOMPARE(drag->value, value);
        QCOMPARE(drag->moved, moved);
        QVERIFY(drag->value <= max);
        QCOMPARE((drag->value - min) % step, moved ? 0 : (max - min) % step);
    }

    void dragOutsideTrackOrUndefinedStepIsIgnored() {
        QVERIFY(!SliderGeometry::dragTo(-1, 100, 0, 10, 1));
        QVERIFY(!SliderGeometry::dragTo(101, 100, 0, 10, 1));
        QVERIFY(!SliderGeometry::dragTo(50, 100, 0, 10, 0));
        QVERIFY(!SliderGeometry::dragTo(50, 100, 10, 10, 1));
        QVERIFY(!SliderGeometry::offsetForValue(5, 100, 0, 10, 0));
    }

    void handleSitsOnStepAtOrBelowValue_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("offset");
        // 0..100 step 10 on 200 pixels: 20 pixels a step.
        QTest::newRow("on a step") << 30 << 60.0;
        QTest::newRow("between steps") << 39 << 60.0;
        QTest::newRow("max") << 100 << 200.0;
        QTest::newRow("below min stays on track") << -50 << 0.0;
        QTest::newRow("above max stays on track") << 500 << 200.0;
    }
    void handleSitsOnStepAtOrBelowValue() {
        QFETCH(int, value);
        QFETCH(double, offset);
        QCOMPARE(*SliderGeometry::offsetForValue(value, 200, 0, 100, 10), offset);
    }

    void accessKeys_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("shown");
        QTest::newRow("first letter") << "&OK"
                                      << "O"
                                      << "OK";
        QTest::newRow("inner letter") << "От&мена"
                                      << "м"
                                      << "Отмена";
        QTest::newRow("doubled") << "FTP && SMS"
                                 << ""
                                 << "FTP & SMS";
        QTest::newRow("doubled then marked") << "A && &B"
                                             << "B"
                                             << "A & B";
        QTest::newRow("triple") << "&&&x"
                                << "x"
                                << "&x";
        QTest::newRow("trailing") << "Save&"
                                  << ""
                                  << "Save";
        QTest::newRow("none") << "Plain"
                              << ""
                              << "Plain";
    }
    void accessKeys() {
        QFETCH(QString, caption);
        QFETCH(QString, key);
        QFETCH(QString, shown);
        const QChar k = AccessKey::keyOf(caption);
        QCOMPARE(k.isNull() ? QString() : QString(k), key);
        QCOMPARE(AccessKey::displayText(caption), shown);
    }

    void buttonLayoutCentresPictureAndCaptionTogether_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QRect>("picture");
        QTest::addColumn<QRect>("caption");
        // Content 100 x 60 at (4, 4); caption 40 x 10; picture 20 x 20.
        QTest::newRow("above") << 0 << QRect(44, 17, 20, 20) << QRect(34, 41, 40, 10);
        QTest::newRow("left") << 1 << QRect(22, 24, 20, 20) << QRect(46, 29, 40, 10);
        QTest::newRow("right") << 2 << QRect(66, 24, 20, 20) << QRect(22, 29, 40, 10);
        QTest::newRow("below") << 3 << QRect(44, 31, 20, 20) << QRect(34, 17, 40, 10);
    }
    void buttonLayoutCentresPictureAndCaptionTogether() {
        QFETCH(int, position);
        QFETCH(QRect, picture);
        QFETCH(QRect, caption);
        const auto r =
            ButtonLayout::place(QRect(4, 4, 100, 60), QSize(40, 10), QSize(20, 20), position);
        QCOMPARE(r.picture, picture);
        QCOMPARE(r.caption, caption);
    }

    void buttonLayoutWithOnePart() {
        const QRect content(4, 4, 100, 60);
        QCOMPARE(ButtonLayout::place(content, QSize(40, 10), QSize(), 1).caption,
                 QRect(34, 29, 40, 10));
        const auto pictureOnly = ButtonLayout::place(content, QSize(), QSize(20, 20), 1);
        QCOMPARE(pictureOnly.picture, QRect(44, 24, 20, 20));
        QVERIFY(pictureOnly.caption.isEmpty());
    }

    void tipPlacement_data() {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("expected");
        // Screen 1000 x 800, tip 200 x 100, padding 5.
        QTest::newRow("below the pointer") << QPoint(100, 100) << QPoint(100, 122);
        QTest::newRow("right edge") << QPoint(850, 100) << QPoint(1000 - 200 - 5, 122);
        QTest::newRow("exactly reaching right edge") << QPoint(800, 100) << QPoint(795, 122);
        QTest::newRow("bottom edge") << QPoint(100, 700) << QPoint(100, 700 - 5 - 100);
        QTest::newRow("bottom-right corner") << QPoint(990, 790) << QPoint(795, 685);
    }
    void tipPlacement() {
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, expected);
        QCOMPARE(TipPlacement::place(pointer, QSize(200, 100), QRect(0, 0, 1000, 800), 5),
                 expected);
    }

    void tipPlacementOnSecondScreenAndOversizedTip() {
        // Right-hand monitor starting at x = 1000.
        QCOMPARE(
            TipPlacement::place(QPoint(1900, 100), QSize(200, 100), QRect(1000, 0, 1000, 800), 5),
            QPoint(1795, 122));
        // A tip taller than the room above the pointer still starts on screen.
        QCOMPARE(TipPlacement::place(QPoint(10, 790), QSize(100, 900), QRect(0, 0, 1000, 800), 5),
                 QPoint(10, 0));
    }

    void colourOffsetClampsEachChannel() {
        QCOMPARE(offsetColor(QColor(234, 234, 234), 48), QColor(255, 255, 255));
        QCOMPARE(offsetColor(QColor(10, 100, 250), -25), QColor(0, 75, 225));
        QCOMPARE(offsetColor(QColor(10, 100, 250), 10), QColor(20, 110, 255));
    }
};

QTEST_GUILESS_MAIN(TestControlGeometry)
#include "tst_controlgeometry.moc"
