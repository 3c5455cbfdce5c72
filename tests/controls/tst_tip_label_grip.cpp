// InfoTip, OverlayLabel and SizeGrip, offscreen.
#include "controls/InfoTip.h"
#include "controls/InfoTipWindow.h"
#include "controls/OverlayLabel.h"
#include "controls/SizeGrip.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace vigilux::controls;

namespace {

constexpr int Bound = 2000; // ms; every wait is bounded

class PaletteCounter final : public QObject {
public:
    int changes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::PaletteChange)
            ++changes;
        return false;
    }
};

} // namespace

class TestTipLabelGrip : public QObject {
    Q_OBJECT
private slots:
    void tipDefaults() {
        InfoTip tip;
        QCOMPARE(tip.borderStyle(), 0);
        QCOMPARE(tip.padding(), 5);
        QVERIFY(tip.useSystemFont());
        QCOMPARE(tip.fontName(), QStringLiteral("Arial"));
        QCOMPARE(tip.fontSize(), 8);
        QCOMPARE(tip.tabSize(), 8);
        QVERIFY(tip.dropShadow());
        QCOMPARE(tip.timeOut(), 2500);
        QVERIFY(tip.useTimeOut());
        QVERIFY(!tip.showTitle());
        QCOMPARE(tip.textAlignment(), 0);
        QCOMPARE(tip.titleAlignment(), 0);
        QCOMPARE(InfoTip::version(), QStringLiteral("1.0.1"));
        QCOMPARE(tip.window(), nullptr);
    }

    void showFallsBackToTextAndTitle_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shownMessage");
        QTest::addColumn<QString>("shownTitle");
        QTest::newRow("empty arguments") << ""
                                         << ""
                                         << "from Text"
                                         << "from Title";
        QTest::newRow("own arguments") << "m"
                                       << "t"
                                       << "m"
                                       << "t";
        QTest::newRow("tabs") << "a\tb"
                              << "x\ty"
                              << "a   b"
                              << "xy";
    }
    void showFallsBackToTextAndTitle() {
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(QString, shownMessage);
        QFETCH(QString, shownTitle);
        InfoTip tip;
        tip.setText(QStringLiteral("from Text"));
        tip.setTitle(QStringLiteral("from Title"));
        tip.setShowTitle(true);
        tip.setTabSize(3);
        tip.show(message, title);
        auto* window = qobject_cast<InfoTipWindow*>(tip.window());
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->content().message, shownMessage);
        QCOMPARE(window->content().title, shownTitle);
    }

    void tipSizeCoversMessageTitleAndShadow() {
        InfoTip tip;
        tip.setShowTitle(true);
        const InfoTipContent narrow =
            tip.contentFor(QStringLiteral("x"), QStringLiteral("A long title, longer than x"));
        const QSize face = InfoTipWindow::faceSize(narrow);
        QFont bold = narrow.font;
        bold.setBold(true);
        QVERIFY(face.width() >=
                QFontMetrics(bold).horizontalAdvance(narrow.title) + 2 * narrow.padding);
        QCOMPARE(InfoTipWindow::windowSize(narrow), face + QSize(4, 4));
        tip.setDropShadow(false);
        QCOMPARE(InfoTipWindow::windowSize(tip.contentFor(QStringLiteral("x"), {})),
                 InfoTipWindow::faceSize(tip.contentFor(QStringLiteral("x"), {})));
        // Two lines are taller than one.
        QVERIFY(InfoTipWindow::faceSize(tip.contentFor(QStringLiteral("a\nb"), {})).height() >
                InfoTipWindow::faceSize(tip.contentFor(QStringLiteral("a"), {})).height());
    }

    void tipPlacedBelowPointerOrFlippedAtTheCorner() {
        QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen != nullptr);
        const QRect geo = screen->geometry();
        InfoTip tip;
        tip.setText(QStringLiteral("Some help text"));

        QCursor::setPos(geo.topLeft() + QPoint(20, 30));
        QTRY_COMPARE_WITH_TIMEOUT(QCursor::pos(), geo.topLeft() + QPoint(20, 30), Bound);
        tip.show();
        QCOMPARE(tip.window()->pos(), geo.topLeft() + QPoint(20, 52));

        const QPoint corner = geo.bottomRight() - QPoint(3, 3);
        QCursor::setPos(corner);
        QTRY_COMPARE_WITH_TIMEOUT(QCursor::pos(), corner, Bound);
        tip.show();
        const QSize face = InfoTipWindow::faceSize(tip.contentFor({}, {}));
        const QRect shown = tip.window()->geometry();
        QCOMPARE(shown.x(), geo.x() + geo.width() - face.width() - 5);
        QCOMPARE(shown.y(), corner.y() - 5 - face.height());
        QVERIFY(shown.left() < corner.x());
        QVERIFY(shown.bottom() < corner.y());
    }

    void hideAlwaysRaisesItsEvent() {
        InfoTip tip;
        QSignalSpy hidden(&tip, &InfoTip::hidden);
        tip.hide();
        QCOMPARE(hidden.count(), 1);
        tip.show(QStringLiteral("x"));
        QPointer<QWidget> window = tip.window();
        QVERIFY(window);
        tip.hide();
        QCOMPARE(hidden.count(), 2);
        QVERIFY(!window);
        QCOMPARE(tip.window(), nullptr);
    }

    void releasingTheObjectTakesTheTipDown() {
        auto tip = std::make_unique<InfoTip>();
        tip->show(QStringLiteral("x"));
        QPointer<QWidget> window = tip->window();
        QVERIFY(window);
        tip.reset();
        QVERIFY(!window);
    }

    void aboutShowsNameAndVersion() {
        QCOMPARE(InfoTip::aboutTitle(), QStringLiteral("CInfoTip"));
        QCOMPARE(InfoTip::aboutText(), QStringLiteral("CInfoTip v1.0.1"));
    }

    void plabelSetsTextTipAndCachedColours() {
        OverlayLabel l;
        l.resize(120, 24);
        l.show();
        QVERIFY(QTest::qWaitForWindowExposed(&l));
        l.setText(QStringLiteral("Тревога: 3"));
        l.setTip(QStringLiteral("alarms"));
        QCOMPARE(l.textLabel()->text(), QStringLiteral("Тревога: 3"));
        QCOMPARE(l.textLabel()->toolTip(), QStringLiteral("alarms"));
        QCOMPARE(l.panel()->geometry(), QRect(0, 0, 120, 24));
        QCOMPARE(l.textLabel()->geometry(), QRect(0, 0, 120, 24));

        PaletteCounter panel;
        l.panel()->installEventFilter(&panel);
        l.setPanelColor(QColor(0, 0, 0)); // the first colour takes, black included
        QCOMPARE(l.panel()->palette().color(QPalette::Window), QColor(0, 0, 0));
        const int afterFirst = panel.changes;
        QVERIFY(afterFirst > 0);
        l.setPanelColor(QColor(0, 0, 0));
        QCOMPARE(panel.changes, afterFirst);
        l.setPanelColor(QColor(200, 0, 0));
        QVERIFY(panel.changes > afterFirst);

        PaletteCounter text;
        l.textLabel()->installEventFilter(&text);
        l.setTextColor(QColor(255, 255, 255));
        const int afterText = text.changes;
        l.setTextColor(QColor(255, 255, 255));
        QCOMPARE(text.changes, afterText);
        QCOMPARE(l.textLabel()->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    }

    void gripSitsFlushInTheCorner() {
        QWidget window;
        window.resize(300, 200);
        SizeGrip grip(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(grip.size(), QSize(23, 23));
        QCOMPARE(grip.geometry().bottomRight(), QPoint(299, 199));
        window.resize(420, 250);
        QCOMPARE(grip.geometry().bottomRight(), QPoint(419, 249));
        grip.resize(50, 50);
        QCOMPARE(grip.size(), QSize(23, 23));
        QCOMPARE(grip.gripShape(), 2);
        QCOMPARE(grip.xOffset(), 70);
        QCOMPARE(grip.radius(), 0);
        QCOMPARE(grip.shadowOffset(), 20);
    }

    void gripDrawsItsCornerInBothShapes() {
        // Grooves by default, dots on request: each leaves the far corner
        // marked and the opposite corner clear.
        SizeGrip grip;
        const auto inked = [&grip](const QRect& area) {
            QImage image(grip.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            grip.render(&image, {}, {}, QWidget::DrawChildren);
            int ink = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    ink += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
            return ink;
        };
        QVERIFY(inked(QRect(12, 12, 8, 8)) > 0);
        QCOMPARE(inked(QRect(0, 0, 6, 6)), 0);
        grip.setGripShape(1);
        grip.setXOffset(40);
        grip.setYOffset(40);
        grip.setRadius(15);
        grip.setShadowOffset(17);
        QVERIFY(inked(QRect(12, 12, 8, 8)) > 0);
        QCOMPARE(inked(QRect(0, 0, 6, 6)), 0);
    }

    void pressAndDragResizesTheWindow() {
        QWidget window;
        window.setMinimumSize(200, 150);
        window.resize(300, 200);
        SizeGrip grip(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mousePress(&grip, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(&grip, QPoint(50, 30));
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(340, 220), Bound);
        QCOMPARE(grip.geometry().bottomRight(), QPoint(339, 219));
        // Shrinking stops at the window's minimum size. The grip has moved
        // with the corner, so the point is relative to its new place.
        QTest::mouseMove(&grip, QPoint(-200, -200));
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(200, 150), Bound);
        QTest::mouseRelease(&grip, Qt::LeftButton, {}, QPoint(0, 0));
    }
};

QTEST_MAIN(TestTipLabelGrip)
#include "tst_tip_label_grip.moc"
