// Slider and CheckBox driven with real mouse events, offscreen.
#include "controls/CheckBox.h"
#include "controls/Slider.h"

#include <QCursor>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using vigilux::controls::CheckBox;
using vigilux::controls::Slider;

namespace {

constexpr int Bound = 2000; // ms; every wait is bounded

QString labelText(const QWidget& w, const char* name) {
    auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

// A slider 501 pixels wide: a 490-pixel track, so 100..5000 by 100 is ten
// pixels a step.
void setUpWide(Slider& s) {
    s.setFixedWidth(501);
    s.setMin(100);
    s.setMax(5000);
    s.setStep(100);
    s.setValue(100);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
}

} // namespace

class TestSliderCheck : public QObject {
    Q_OBJECT
private slots:
    void everyCheckLookHasAPictureOfItsOwn() {
        using Look = CheckBox::Look;
        QList<QImage> seen;
        for (Look look : {Look::Idle, Look::Mouseover, Look::Pushed, Look::Disabled}) {
            for (Qt::CheckState state : {Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked}) {
                const QImage image = CheckBox::picture(look, state).toImage();
                QVERIFY2(image.size() == QSize(16, 16),
                         qPrintable(CheckBox::pictureName(look, state)));
                QVERIFY2(!seen.contains(image), qPrintable(CheckBox::pictureName(look, state)));
                seen << image;
            }
        }
    }

    void newSliderDefaults() {
        Slider s;
        QCOMPARE(s.value(), 0);
        QCOMPARE(s.minimum(), 0);
        QCOMPARE(s.maximum(), 100);
        QCOMPARE(s.step(), 1);
        QVERIFY(s.enabled());
        QCOMPARE(labelText(s, "Lmin"), QStringLiteral("0"));
        QCOMPARE(labelText(s, "Lmax"), QStringLiteral("100"));
        QCOMPARE(labelText(s, "Lval"), QStringLiteral("0"));
    }

    void valueFromCodeMovesHandleWithoutChange() {
        Slider s;
        setUpWide(s);
        QSignalSpy change(&s, &Slider::changed);
        s.setValue(2500);
        QCOMPARE(s.handleRect().x(), 240);
        QCOMPARE(labelText(s, "Lval"), QStringLiteral("2500"));
        s.setValue(2549); // between steps: the step below
        QCOMPARE(s.handleRect().x(), 240);
        s.setMin(0);
        s.setMax(10);
        QCOMPARE(labelText(s, "Lmin"), QStringLiteral("0"));
        QCOMPARE(labelText(s, "Lmax"), QStringLiteral("10"));
        QCOMPARE(change.count(), 0);
    }

    void dragGivesOnlyStepMultiplesWithinRange() {
        Slider s;
        setUpWide(s);
        QSignalSpy change(&s, &Slider::changed);
        const QPoint grab = s.handleRect().center();
        QTest::mousePress(&s, Qt::LeftButton, {}, grab);
        int inside = 0;
        for (int dx = 3; dx <= 520; dx += 7) {
            const int x = grab.x() + dx;
            QTest::mouseMove(&s, QPoint(x, grab.y()));
            if (dx <= 490) // the handle's left edge stays on the 490-pixel track
                ++inside;
        }
        QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(grab.x() + 520, grab.y()));
        QCOMPARE(change.count(), inside); // moves past the end are ignored
        for (const auto& args : change) {
            const int v = args.at(0).toInt();
            QVERIFY2(v >= 100 && v <= 5000 && v % 100 == 0, qPrintable(QString::number(v)));
        }
        QCOMPARE(s.value(), change.last().at(0).toInt());
        QCOMPARE(labelText(s, "Lval"), QString::number(s.value()));
    }

    void everyMoveRaisesChangeEvenWithoutNewValue() {
        Slider s;
        setUpWide(s);
        QSignalSpy change(&s, &Slider::changed);
        const QPoint grab = s.handleRect().center();
        QTest::mousePress(&s, Qt::LeftButton, {}, grab);
        QTest::mouseMove(&s, grab + QPoint(2, 0));
        QTest::mouseMove(&s, grab + QPoint(3, 0));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, grab + QPoint(3, 0));
        QCOMPARE(change.count(), 2);
        QCOMPARE(change.at(0).at(0).toInt(), 100);
        QCOMPARE(change.at(1).at(0).toInt(), 100);
    }

    void dragPastTheEndNeverExceedsMax() {
        // 0..10 by 4 on a 100-pixel track: the last step is partial, so the
        // snapped end maps to 12 and must be held at 10.
        Slider s;
        s.setFixedWidth(111);
        s.setMax(10);
        s.setStep(4);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QSignalSpy change(&s, &Slider::changed);
        const QPoint grab = s.handleRect().center();
        QTest::mousePress(&s, Qt::LeftButton, {}, grab);
        QTest::mouseMove(&s, grab + QPoint(60, 0)); // two steps: 8
        const int handleBefore = s.handleRect().x();
        QTest::mouseMove(&s, grab + QPoint(100, 0));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, grab + QPoint(100, 0));
        QCOMPARE(change.count(), 2);
        QCOMPARE(change.at(0).at(0).toInt(), 8);
        QCOMPARE(change.at(1).at(0).toInt(), 10);
        QCOMPARE(s.handleRect().x(), handleBefore);
    }

    void pressOffTheHandleOrDisabledDoesNotDrag() {
        Slider s;
        setUpWide(s);
        QSignalSpy change(&s, &Slider::changed);
        QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(300, 5)); // on the track
        QTest::mouseMove(&s, QPoint(350, 5));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(350, 5));
        s.setEnabled(false);
        QVERIFY(!s.enabled());
        const QPoint grab = s.handleRect().center();
        QTest::mousePress(&s, Qt::LeftButton, {}, grab);
        QTest::mouseMove(&s, grab + QPoint(50, 0));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, grab + QPoint(50, 0));
        QCOMPARE(change.count(), 0);
        QCOMPARE(s.value(), 100);
    }

    void undefinedStepIsSurvived() {
        Slider s;
        setUpWide(s);
        s.setValue(2500);
        const QRect before = s.handleRect();
        s.setStep(0);
        s.setValue(3000);
        QCOMPARE(s.handleRect(), before);
        QSignalSpy change(&s, &Slider::changed);
        QTest::mousePress(&s, Qt::LeftButton, {}, before.center());
        QTest::mouseMove(&s, before.center() + QPoint(30, 0));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, before.center() + QPoint(30, 0));
        QCOMPARE(change.count(), 0);
    }

    void checkClickTicksThenReports() {
        CheckBox c;
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QStringList order;
        bool valueInsideClick = false;
        connect(&c, &CheckBox::mouseDown, this, [&](int button, int shift, float x, float y) {
            order << QStringLiteral("MouseDown %1 %2 %3 %4").arg(button).arg(shift).arg(x).arg(y);
        });
        connect(&c, &CheckBox::clicked, this, [&] {
            order << QStringLiteral("Click");
            valueInsideClick = c.value();
        });
        QTest::mousePress(&c, Qt::LeftButton, Qt::ShiftModifier, QPoint(4, 5));
        QCOMPARE(c.pictureName(), QStringLiteral("PushedNoValue"));
        QVERIFY(c.value());
        QTest::mouseRelease(&c, Qt::LeftButton, Qt::ShiftModifier, QPoint(4, 5));
        QCOMPARE(order,
                 QStringList({QStringLiteral("MouseDown 1 1 4 5"), QStringLiteral("Click")}));
        QVERIFY(valueInsideClick);
        QVERIFY(c.hoverTimer()->isActive());

        QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(4, 5));
        QVERIFY(!c.value());
    }

    void checkIgnoresRightButtonAndCodeChanges() {
        CheckBox c;
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QSignalSpy click(&c, &CheckBox::clicked);
        QSignalSpy down(&c, &CheckBox::mouseDown);
        QTest::mouseClick(&c, Qt::RightButton, {}, QPoint(4, 4));
        QVERIFY(!c.value());
        c.setValue(true);
        QCOMPARE(c.pictureName(), QStringLiteral("IdleChecked"));
        QCOMPARE(click.count() + down.count(), 0);
    }

    void greyedBoxKeepsItsValueOnPress() {
        CheckBox c;
        c.setCheckState(Qt::PartiallyChecked);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QSignalSpy click(&c, &CheckBox::clicked);
        QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(c.checkState(), Qt::PartiallyChecked);
        QCOMPARE(click.count(), 1);
    }

    void disabledBoxShowsDisabledLookAndIgnoresClicks_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("picture");
        QTest::newRow("unticked") << int(Qt::Unchecked) << "DisabledNoValue";
        QTest::newRow("greyed") << int(Qt::PartiallyChecked) << "DisabledGrey";
        QTest::newRow("ticked") << int(Qt::Checked) << "DisabledChecked";
    }
    void disabledBoxShowsDisabledLookAndIgnoresClicks() {
        QFETCH(int, state);
        QFETCH(QString, picture);
        CheckBox c;
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        c.setEnabled(false);
        c.setCheckState(static_cast<Qt::CheckState>(state));
        QCOMPARE(c.pictureName(), picture);
        QSignalSpy click(&c, &CheckBox::clicked);
        QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(int(c.checkState()), state);
        QCOMPARE(click.count(), 0);
        c.setEnabled(true);
        QCOMPARE(c.look(), CheckBox::Look::Idle);
    }

    void hoverLookFollowsTheCursor() {
        QWidget window;
        window.resize(100, 60);
        CheckBox c(&window);
        c.move(20, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCursor::setPos(c.mapToGlobal(QPoint(5, 5)));
        QTest::mouseMove(&c, QPoint(5, 5));
        QTRY_COMPARE_WITH_TIMEOUT(c.pictureName(), QStringLiteral("MouseoverNoValue"), Bound);
        QVERIFY(c.hoverTimer()->isActive());

        QCursor::setPos(window.mapToGlobal(QPoint(80, 50)));
        QTRY_COMPARE_WITH_TIMEOUT(c.pictureName(), QStringLiteral("IdleNoValue"), Bound);
        QVERIFY(!c.hoverTimer()->isActive());
    }

    void disablingStopsTheHoverTimer() {
        QWidget window;
        CheckBox c(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(&c, QPoint(5, 5));
        QVERIFY(c.hoverTimer()->isActive());
        c.setEnabled(false);
        QVERIFY(!c.hoverTimer()->isActive());
    }
};

QTEST_MAIN(TestSliderCheck)
#include "tst_slider_check.moc"
