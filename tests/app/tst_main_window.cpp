#include "FakeClock.h"
#include "FakeDialogs.h"
#include "app/Main.h"
#include "app/OpenWindows.h"
#include "app/Running.h"
#include "settings/AppContext.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void splashTimersAndItsSingleEnd() {
        auto* splash = new app::Running;
        QPointer<app::Running> guard(splash);
        splash->show();
        QVERIFY(splash->Timer1().isActive());
        QVERIFY(splash->Timer1().isSingleShot());
        QCOMPARE(splash->Timer1().interval(), 4000);
        QVERIFY(splash->ATimer().isActive());
        QCOMPARE(splash->ATimer().interval(), 800);

        const bool lit = splash->indicatorVisible();
        splash->ATimer_Timer();
        QCOMPARE(splash->indicatorVisible(), !lit);
        splash->ATimer_Timer();
        QCOMPARE(splash->indicatorVisible(), lit);

        QSignalSpy finished(splash, &app::Running::Finished);
        splash->Timer1_Timer();
        splash->Timer1_Timer();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!splash->Timer1().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 2000); // unloaded itself
    }

    void openWindowsAreKeptInShowOrder() {
        app::OpenWindows forms;
        QWidget a, b, c;
        a.show();
        b.show();
        c.show();
        QCOMPARE(forms.count(), 3);
        b.hide();
        QCOMPARE(forms.count(), 2);
        forms.unload(1); // newest open one: c
        QVERIFY(!c.isVisible());
        QVERIFY(a.isVisible());
        QCOMPARE(forms.count(), 1);
    }

    void exitUnloadsOnceAndClosesEveryWindow() {
        QTemporaryDir dir;
        test::FakeClock clock;
        test::FakeDialogs dialogs;
        AppContext context(clock, dialogs, dir.path());
        app::Main main(context);
        main.installWindowProc();
        QCOMPARE(main.minimumSize(), app::Main::MinimumSize);
        main.showMain();
        QWidget other;
        other.show();

        QSignalSpy unload(&main, &app::Main::UnloadRequested);
        connect(&main, &app::Main::UnloadRequested, &main, [&] {
            main.WebcamStop();
            main.restoreWindowProc();
            main.UnLoadAll();
        });
        main.close(); // a close from outside is the exit command
        QCOMPARE(unload.size(), 1);
        QVERIFY(!other.isVisible());
        QVERIFY(!main.isVisible());
        main.Exit();
        QCOMPARE(unload.size(), 1);
    }

    void mainWindowShape() {
        QTemporaryDir dir;
        test::FakeClock clock;
        test::FakeDialogs dialogs;
        AppContext context(clock, dialogs, dir.path());
        app::Main main(context);
        QCOMPARE(main.size(), app::Main::DesignSize);
        QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);
        main.makeTopmost();
        QVERIFY(main.windowFlags() & Qt::WindowStaysOnTopHint);
        main.placeBorderLines();
        const auto lines = main.L();
        QCOMPARE(lines[0]->geometry(), QRect(0, 0, 1, 348));
        QCOMPARE(lines[1]->geometry().x(), 504);
        QCOMPARE(lines[2]->geometry().y(), 347);
        QCOMPARE(lines[3]->geometry(), QRect(0, 0, 505, 1));
        main.armUpdateCheck();
        QVERIFY(main.UpTimer().isActive());
        QVERIFY(main.UpTimer().isSingleShot());
        QCOMPARE(main.UpTimer().interval(), 1000);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
