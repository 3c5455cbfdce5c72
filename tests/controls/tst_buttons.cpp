// Toolbar buttons and PushButton driven with real mouse and keyboard events.
#include "controls/PushButton.h"
#include "controls/TitleBarButton.h"

#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using vigilux::controls::PushButton;
using vigilux::controls::TitleBarButton;

namespace {

constexpr int Bound = 2000; // ms; every wait is bounded

// A window 200 x 100 with one button at (50, 30), 80 x 30.
struct Stage {
    QWidget window;
    PushButton* button;
    QStringList events;

    explicit Stage(const QString& caption = QStringLiteral("&Test"))
        : button(new PushButton(caption, &window)) {
        window.resize(200, 100);
        button->setGeometry(50, 30, 80, 30);
        QObject::connect(button, &PushButton::clicked,
                         [this] { events << QStringLiteral("Click"); });
        QObject::connect(button, &PushButton::mouseEntered,
                         [this](int) { events << QStringLiteral("In"); });
        QObject::connect(button, &PushButton::mouseLeft,
                         [this](int) { events << QStringLiteral("Out"); });
        QObject::connect(button, &PushButton::mouseDown, [this](int b, int, float, float) {
            events << QStringLiteral("Down%1").arg(b);
        });
        QObject::connect(button, &PushButton::mouseUp, [this](int b, int, float x, float y) {
            events << QStringLiteral("Up%1@%2,%3").arg(b).arg(x).arg(y);
        });
        QObject::connect(button, &PushButton::keyDown,
                         [this](int key, int) { events << QStringLiteral("KeyDown%1").arg(key); });
        QObject::connect(button, &PushButton::keyUp,
                         [this](int key, int) { events << QStringLiteral("KeyUp%1").arg(key); });
    }
    // Input through the window, as the window system delivers it, so grabs
    // and hit-testing take part. Points are in window coordinates; Qt drops
    // a move to where the pointer already is, so tests move somewhere new.
    void move(QPoint at) { QTest::mouseMove(window.windowHandle(), at); }
    void press(QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(window.windowHandle(), b, {}, at);
    }
    void release(QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(window.windowHandle(), b, {}, at);
    }

    bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

class TestButtons : public QObject {
    Q_OBJECT
private slots:
    void everyToolbarLookHasAPictureOfItsOwn() {
        using Kind = TitleBarButton::Kind;
        using Look = TitleBarButton::Look;
        QList<QImage> seen;
        const QList<std::pair<Kind, bool>> glyphs{{Kind::Close, false},
                                                  {Kind::HideToTray, false},
                                                  {Kind::MaximizeRestore, false},
                                                  {Kind::MaximizeRestore, true}};
        for (const auto& [kind, restore] : glyphs) {
            for (Look look : {Look::Normal, Look::Hover, Look::Pressed}) {
                const QImage image = TitleBarButton::picture(kind, look, restore).toImage();
                QCOMPARE(image.size(), QSize(21, 21));
                QVERIFY(!seen.contains(image));
                seen << image;
            }
        }
        // A high-density screen gets a sharper picture of the same size.
        const QPixmap sharp = TitleBarButton::picture(Kind::Close, Look::Normal, false, 2.0);
        QCOMPARE(sharp.size(), QSize(42, 42));
        QCOMPARE(sharp.deviceIndependentSize().toSize(), QSize(21, 21));
    }

    void toolbarPressShowsPressedUntilOneClick() {
        QWidget window;
        window.resize(80, 40);
        TitleBarButton b(TitleBarButton::Kind::Close, &window);
        b.move(10, 10);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy click(&b, &TitleBarButton::clicked);
        QCursor::setPos(b.mapToGlobal(QPoint(5, 5)));
        QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(b.look(), TitleBarButton::Look::Pressed);
        QVERIFY(b.isPressed());
        QVERIFY(!b.hoverTimer()->isActive());
        QCOMPARE(click.count(), 0);
        QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(click.count(), 1);
        QVERIFY(!b.isPressed());
        QTRY_COMPARE_WITH_TIMEOUT(b.look(), TitleBarButton::Look::Hover, Bound);

        // Off the face: normal again, and the poll stops.
        QCursor::setPos(window.mapToGlobal(QPoint(70, 35)));
        QTRY_COMPARE_WITH_TIMEOUT(b.look(), TitleBarButton::Look::Normal, Bound);
        QVERIFY(!b.hoverTimer()->isActive());
        QCOMPARE(click.count(), 1);
    }

    void toolbarReleaseOffTheFaceIsNoClick() {
        QWidget window;
        window.resize(80, 40);
        TitleBarButton b(TitleBarButton::Kind::HideToTray, &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy click(&b, &TitleBarButton::clicked);
        QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(60, 30));
        QCOMPARE(click.count(), 0);
    }

    void toolbarHoverWhileDisabled_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("hovers");
        QTest::newRow("tb1 close") << int(TitleBarButton::Kind::Close) << true;
        QTest::newRow("tb2 to tray") << int(TitleBarButton::Kind::HideToTray) << false;
        QTest::newRow("tb3 maximize") << int(TitleBarButton::Kind::MaximizeRestore) << false;
    }
    void toolbarHoverWhileDisabled() {
        QFETCH(int, kind);
        QFETCH(bool, hovers);
        QWidget window;
        window.resize(80, 40);
        TitleBarButton b(static_cast<TitleBarButton::Kind>(kind), &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCursor::setPos(b.mapToGlobal(QPoint(5, 5)));
        QTest::mouseMove(&b, QPoint(5, 5) + QPoint(kind, kind)); // starts the poll
        QVERIFY(b.hoverTimer()->isActive());
        b.setEnabled(false);
        if (hovers) {
            QTRY_COMPARE_WITH_TIMEOUT(b.look(), TitleBarButton::Look::Hover, Bound);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!b.hoverTimer()->isActive(), Bound);
            QCOMPARE(b.look(), TitleBarButton::Look::Normal);
        }
    }

    void clickNeedsPressAndReleaseOverTheButton() {
        Stage s; // button spans window x 50..129, y 30..59
        QVERIFY(s.show());
        s.move({60, 40});
        s.press({60, 40});
        QVERIFY(s.button->isPressed());
        s.release({62, 41});
        QCOMPARE(s.events, QStringList({"In", "Down1", "Click", "Up1@12,11"}));
        QVERIFY(!s.button->isPressed());
        QVERIFY(!s.button->isHover());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);

        s.events.clear();
        s.move({70, 40});
        s.press({70, 40});
        s.move({10, 10}); // dragged off
        QVERIFY(!s.button->isPressed());
        s.release({10, 10});
        QCOMPARE(s.events, QStringList({"In", "Down1", "Out", "Up1@-40,-20"}));
    }

    void pressWithoutHoverThenDragOffIsNoClick() {
        Stage s;
        QVERIFY(s.show());
        s.move({60, 40});
        s.press({60, 40});
        s.release({60, 40});
        s.events.clear();
        // No move since the release: the button is not hovered when pressed.
        s.press({60, 40});
        s.move({5, 5});
        QVERIFY(!s.button->isPressed());
        s.release({5, 5});
        QVERIFY(!s.events.contains(QStringLiteral("Click")));
    }

    void dragOffAndBackPressesAgain() {
        Stage s;
        QVERIFY(s.show());
        s.move({67, 40});
        s.press({67, 40});
        s.move({5, 5});
        s.move({60, 40}); // back over the button, button still held
        QVERIFY(s.button->isPressed());
        s.release({60, 40});
        QCOMPARE(s.events, QStringList({"In", "Down1", "Out", "In", "Click", "Up1@10,10"}));
    }

    void mouseInAndOutOncePerCrossing() {
        Stage s;
        QVERIFY(s.show());
        QSignalSpy moves(s.button, &PushButton::mouseMove);
        for (int x = 55; x < 120; x += 10)
            s.move({x, 42});
        QVERIFY(s.button->isHover());
        QCOMPARE(QWidget::mouseGrabber(), s.button);
        for (int x = 5; x < 40; x += 10) // the capture brings these moves
            s.move({x, 5});
        QCOMPARE(s.events, QStringList({"In", "Out"}));
        QVERIFY(!s.button->isHover());
        QCOMPARE(moves.count(), 8); // the one that left included
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
    }

    void rightButtonIsNoClick() {
        Stage s;
        QVERIFY(s.show());
        QTest::mouseClick(s.button, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(s.events, QStringList({"Down2", "Up2@10,10"}));
        QVERIFY(!s.button->isPressed());
    }

    void spaceClicksTheFocusedButton() {
        Stage s;
        QVERIFY(s.show());
        s.button->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(s.button->hasFocus(), Bound);
        QCursor::setPos(s.window.mapToGlobal(QPoint(5, 5))); // pointer elsewhere
        QTest::keyPress(s.button, Qt::Key_Space);
        QVERIFY(s.button->isPressed());
        QTest::keyRelease(s.button, Qt::Key_Space);
        QCOMPARE(s.events, QStringList({"KeyDown32", "Click", "Up1@0,0", "KeyUp32"}));
        QVERIFY(!s.button->isPressed());

        s.events.clear();
        QTest::keyClick(s.button, Qt::Key_A);
        QCOMPARE(s.events, QStringList({"KeyDown65", "KeyUp65"}));
    }

    void accessKeys_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("marked first letter") << "&Test" << int(Qt::Key_T) << 1;
        QTest::newRow("marked inner letter") << "Te&st" << int(Qt::Key_S) << 1;
        QTest::newRow("unmarked letter") << "Te&st" << int(Qt::Key_T) << 0;
        QTest::newRow("doubled ampersand") << "&&Test" << int(Qt::Key_T) << 0;
    }
    void accessKeys() {
        QFETCH(QString, caption);
        QFETCH(int, key);
        QFETCH(int, clicks);
        Stage s(caption);
        QVERIFY(s.show());
        QTest::keyClick(&s.window, static_cast<Qt::Key>(key), Qt::AltModifier);
        QCOMPARE(s.events.count(QStringLiteral("Click")), clicks);
    }

    void disabledButtonIgnoresAccessKeyAndMouse() {
        Stage s;
        QVERIFY(s.show());
        s.move({81, 41});
        QVERIFY(s.button->isHover());
        s.button->setEnabledCtrl(false);
        QVERIFY(!s.button->enabledCtrl());
        QVERIFY(!s.button->isHover());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::keyClick(&s.window, Qt::Key_T, Qt::AltModifier);
        s.press({82, 42});
        s.release({82, 42});
        QVERIFY(!s.events.contains(QStringLiteral("Click")));
    }

    void focusClearsHoverAndLosingItClearsAll() {
        Stage s;
        auto* other = new PushButton(QStringLiteral("Other"), &s.window);
        other->setGeometry(0, 0, 40, 20);
        QVERIFY(s.show());
        other->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(other->hasFocus(), Bound);
        s.move({83, 43});
        QVERIFY(s.button->isHover());
        s.button->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(s.button->hasFocus(), Bound);
        QVERIFY(!s.button->isHover());
        s.button->forceState(true, true, true);
        other->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(!s.button->hasFocus(), Bound);
        QVERIFY(!s.button->isPressed());
        QVERIFY(!s.button->isHover());
    }

    void neverSmallerThanTenByTen() {
        PushButton b(QStringLiteral("x"));
        b.resize(5, 3);
        QCOMPARE(b.size(), QSize(10, 10));
        b.resize(40, 4);
        QCOMPARE(b.size(), QSize(40, 10));
    }

    void captionDefaultsToObjectNameUntilSet() {
        PushButton b;
        b.setObjectName(QStringLiteral("exitButton"));
        QCOMPARE(b.caption(), QStringLiteral("exitButton"));
        b.setCaption(QStringLiteral("&OK"));
        b.setObjectName(QStringLiteral("aboutButton"));
        QCOMPARE(b.caption(), QStringLiteral("&OK"));
        QCOMPARE(b.accessKey(), QLatin1Char('O'));
    }

    void propertiesAndTip() {
        PushButton b(QStringLiteral("Go"));
        QCOMPARE(b.buttonStyle(), 2);
        QCOMPARE(b.picturePosition(), 1);
        QCOMPARE(b.pictureWidth(), 32);
        QVERIFY(b.defaultColors());
        QCOMPARE(b.pressedColor(), QColor(140, 170, 230));
        QCOMPARE(b.hoverColor(), QColor(225, 153, 71));
        b.setButtonStyle(9);
        QCOMPARE(b.buttonStyle(), 3);
        b.setTip(QStringLiteral("Сохранить кадр"));
        QCOMPARE(b.tip(), QStringLiteral("Сохранить кадр"));
        QCOMPARE(b.toolTip(), QStringLiteral("Сохранить кадр"));
    }
};

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"
