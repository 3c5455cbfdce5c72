#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "app/MainWindow.h"
#include "app/OpenWindows.h"
#include "app/RecordingIndicator.h"
#include "app/SplashWindow.h"
#include "capture/CalibrationTarget.h"
#include "capture/MotionLevelBar.h"
#include "controls/OverlayLabel.h"
#include "controls/SizeGrip.h"
#include "controls/PushButton.h"
#include "settings/AppContext.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

// A main window over fakes: a scripted capture device, a recording tray,
// sound, program runner and address opener.
struct Rig {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    test::FakeTrayBackend tray;
    test::FakeSoundOutput sound;
    test::FakeProcesses processes;
    test::FakeUrlOpener urls;
    test::FakeCaptureDevice* device = nullptr;
    bool connects = true;
    std::unique_ptr<app::MainWindow> main;

    Rig() {
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        context.settings.SavePath = dir.path();
        main = std::make_unique<app::MainWindow>(
            context,
            app::MainWindow::Services{tray, sound, processes, urls, platform::CaptureSource::demo(),
                                [this](const platform::CaptureSource&) {
                                    auto d = std::make_unique<test::FakeCaptureDevice>();
                                    d->connectResult = connects;
                                    device = d.get();
                                    return std::unique_ptr<platform::CaptureDevice>(std::move(d));
                                },
                                [] { return QStringList(); }, [] { return 6; },
                                QUrl(QStringLiteral("http://127.0.0.1:1"))});
    }
    app::MainWindow& m() { return *main; }
    QString label(int i) { return m().OverlayLabel(i).text(); }
    // One detector step on a frame filled with `value`.
    void step(uchar value) {
        m().CaptureControl().detector().Timer1Timer();
        QVERIFY(device->pushFilled(value));
    }
};

class RecordingCalibration final : public capture::CalibrationTarget {
public:
    QList<qint16> fps;
    QList<qint32> percent;
    void FPSValue(qint16 v) override { fps << v; }
    void PercentValue(qint32 v) override { percent << v; }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void splashTimersAndItsSingleEnd() {
        auto* splash = new app::SplashWindow;
        QPointer<app::SplashWindow> guard(splash);
        splash->show();
        QVERIFY(splash->Timer1().isActive());
        QVERIFY(splash->Timer1().isSingleShot());
        QCOMPARE(splash->Timer1().interval(), 4000);
        QCOMPARE(splash->ATimer().interval(), 800);
        const bool lit = splash->indicatorVisible();
        splash->ATimer_Timer();
        QCOMPARE(splash->indicatorVisible(), !lit);

        QSignalSpy finished(splash, &app::SplashWindow::Finished);
        splash->Timer1_Timer();
        splash->Timer1_Timer();
        QCOMPARE(finished.size(), 1);
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
    }

    void windowShapeAndBorderLines() {
        Rig r;
        QCOMPARE(r.m().size(), app::MainWindow::DesignSize);
        QVERIFY(r.m().windowFlags() & Qt::FramelessWindowHint);
        r.m().makeTopmost();
        QVERIFY(r.m().windowFlags() & Qt::WindowStaysOnTopHint);
        r.m().placeBorderLines();
        const auto lines = r.m().L();
        QCOMPARE(lines[0]->geometry(), QRect(0, 0, 1, 348));
        QCOMPARE(lines[3]->geometry(), QRect(0, 0, 505, 1));
        r.m().installWindowProc();
        QCOMPARE(r.m().minimumSize(), app::MainWindow::MinimumSize);
        r.m().armUpdateCheck();
        QVERIFY(r.m().UpTimer().isActive());
        QCOMPARE(r.m().UpTimer().interval(), 1000);
        for (int i = 0; i < 6; ++i)
            QVERIFY(!r.m().OverlayLabel(i).isVisibleTo(&r.m()));
        QVERIFY(!r.m().PushButton(7).isVisibleTo(&r.m()));
        QVERIFY(!r.m().PushButton(2).isEnabled());
        QVERIFY(!r.m().mnuDetect()->isEnabled());
    }

    void exitUnloadsOnceAndClosesEveryWindow() {
        Rig r;
        r.m().showMain();
        QWidget other;
        other.show();
        QSignalSpy unload(&r.m(), &app::MainWindow::UnloadRequested);
        connect(&r.m(), &app::MainWindow::UnloadRequested, &r.m(), [&] {
            r.m().WebcamStop();
            r.m().restoreWindowProc();
            r.m().UnLoadAll();
        });
        r.m().close(); // a close from outside is the exit command
        QCOMPARE(unload.size(), 1);
        QVERIFY(!other.isVisible());
        QVERIFY(!r.m().isVisible());
        r.m().XpB_Click(5);
        QCOMPARE(unload.size(), 1);
    }

    void detectorSettingsReachTheCaptureControl() {
        Rig r;
        r.m().SetSensor(0, 700);
        r.m().SetSensor(1, 7);
        r.m().SetSensor(2, 30);
        r.m().SetSensor(3, 99); // nothing
        auto& d = r.m().CaptureControl().detector();
        QCOMPARE(d.detectorInterval(), qint16(700));
        QCOMPARE(d.noiseTolerance(), qint16(7));
        QCOMPARE(d.similarityThreshold(), qint16(70));
        QCOMPARE(r.label(1), QStringLiteral("700"));
        QCOMPARE(r.label(4), QStringLiteral("30%"));
    }

    void watchModeTogglesEverything() {
        Rig r;
        r.m().WebcamStart();
        r.context.AlarmCount = 9;
        r.m().StartAuto();
        QVERIFY(r.context.AutoShotOn);
        QCOMPARE(r.context.AlarmCount, qint16(0));
        for (int i : {0, 1, 3, 4, 5})
            QVERIFY(r.m().OverlayLabel(i).isVisibleTo(&r.m()));
        QVERIFY(!r.m().OverlayLabel(2).isVisibleTo(&r.m()));
        QCOMPARE(r.label(5), QStringLiteral("0"));
        QVERIFY(!r.m().PushButton(0).isEnabled() && !r.m().mnuShot()->isEnabled());
        QVERIFY(r.m().PushButton(2).isEnabled() && r.m().mnuDetect()->isEnabled());
        QVERIFY(!r.m().PushButton(3).isEnabled() && !r.m().mnuOptions()->isEnabled());
        QCOMPARE(r.m().PushButton(1).Caption(), QStringLiteral("Автосъемка выкл."));
        QCOMPARE(r.m().mnuAuto()->text(), QStringLiteral("Автосъемка выкл."));
        QCOMPARE(r.m().St()->text(), QStringLiteral(" Автосъемка включена"));
        QVERIFY(r.m().Record1().Timer1().isActive());
        QVERIFY(r.m().CaptureControl().sensor().isVisibleTo(&r.m()));

        r.m().StartAuto();
        QVERIFY(!r.context.AutoShotOn);
        for (int i : {0, 1, 3, 4, 5})
            QVERIFY(!r.m().OverlayLabel(i).isVisibleTo(&r.m()));
        QVERIFY(r.m().PushButton(0).isEnabled() && r.m().mnuShot()->isEnabled());
        QVERIFY(!r.m().PushButton(2).isEnabled() && !r.m().mnuDetect()->isEnabled());
        QCOMPARE(r.m().PushButton(1).Caption(), QStringLiteral("Автосъемка вкл."));
        QCOMPARE(r.m().St()->text(), QStringLiteral(" Автосъемка выключена"));
        QVERIFY(!r.m().Record1().Timer1().isActive());
    }

    void motionRunsTheAlarmChain() {
        Rig r;
        QFile wav(r.dir.filePath(QStringLiteral("alarm.wav")));
        QVERIFY(wav.open(QIODevice::WriteOnly));
        wav.write("RIFFalarm");
        wav.close();
        const QString program = r.dir.filePath(QStringLiteral("on-alarm.sh"));
        QFile(program).open(QIODevice::WriteOnly);
        auto& s = r.context.settings;
        s.SaveAlarm = false;
        s.SoundAlarm = true;
        s.SoundAlarmPath = wav.fileName();
        s.SysTrayAlarm = true;
        s.RunAlarm = true;
        s.RunAlarmPath = program;
        s.RunAlarmWait = true;
        r.m().SetSensor(2, 10);
        r.m().WebcamStart();
        r.m().StartAuto();
        r.m().showStatus(QStringLiteral("before"));
        QString statusDuringWait;
        r.processes.whileWaiting = [&] { statusDuringWait = r.m().St()->text(); };

        r.step(0);   // first step after start: never an alarm
        r.step(200); // everything changed
        QCOMPARE(r.label(3), QStringLiteral("100%"));
        QCOMPARE(r.context.AlarmCount, qint16(1));
        QCOMPARE(r.label(5), QStringLiteral("1"));
        QCOMPARE(r.m().OverlayLabel(3).Cont()->palette().color(QPalette::Window), app::MainWindow::AlarmRed);
        QCOMPARE(r.sound.played.size(), 1);
        QVERIFY(r.tray.balloons.isEmpty()); // only while in the tray
        QCOMPARE(r.processes.waited, QStringList{program});
        QCOMPARE(statusDuringWait, QStringLiteral("Ожидание завершения внешнего приложения..."));
        QCOMPARE(r.m().St()->text(), QStringLiteral("before"));

        // A still frame puts the grey back and raises no alarm.
        r.step(200);
        QCOMPARE(r.label(3), QStringLiteral("0%"));
        QCOMPARE(r.m().OverlayLabel(3).Cont()->palette().color(QPalette::Window), app::MainWindow::LabelGrey);
        QCOMPARE(r.context.AlarmCount, qint16(1));

        // In the tray the balloon tells the count and the difference.
        r.context.InTray = true;
        r.tray.available = true;
        r.m().cTray().Add();
        s.RunAlarmWait = false;
        r.step(0);
        QCOMPARE(r.tray.balloons.size(), 1);
        QCOMPARE(r.tray.balloons[0].title, QStringLiteral("Обнаружено движение!"));
        QCOMPARE(r.tray.balloons[0].flags, 2);
        QCOMPARE(r.tray.balloons[0].text,
                 QStringLiteral("Программа обнаружила движение в наблюдаемой области. \r\n"
                                "Всего срабатываний детектора движения с начала наблюдения: 2\r\n"
                                "Расхождение с предыдущим кадром: 100%"));
        QCOMPARE(r.processes.started, QStringList{program});
    }

    void alarmWhileDetectorWindowOrCalibration() {
        Rig r;
        r.context.settings.SoundAlarm = true;
        r.context.settings.SoundAlarmPath = r.dir.filePath(QStringLiteral("none.wav"));
        r.context.settings.RunAlarm = true;
        r.context.settings.RunAlarmPath = QStringLiteral("/bin/true");
        r.context.DetectorDialogOpen = true;
        r.m().WebCam_Alarm(true);
        QCOMPARE(r.m().OverlayLabel(3).Cont()->palette().color(QPalette::Window), app::MainWindow::AlarmRed);
        QCOMPARE(r.context.AlarmCount, qint16(0));
        QVERIFY(r.processes.started.isEmpty());

        r.context.DetectorDialogOpen = false;
        r.context.CalibrationPhase = 2;
        r.m().WebCam_Alarm(true);
        QCOMPARE(r.context.AlarmCount, qint16(0)); // not counted, but acted on
        QCOMPARE(r.processes.started.size(), 1);

        r.m().WebCam_Percent(55);
        r.m().WebCam_Alarm(false); // changes nothing at all
        QCOMPARE(r.m().OverlayLabel(3).Cont()->palette().color(QPalette::Window), app::MainWindow::LabelGrey);

        r.context.CalibrationPhase = 0;
        r.context.AlarmCount = 32767;
        r.m().WebCam_Alarm(true);
        QCOMPARE(r.context.AlarmCount, qint16(32767)); // held, not wrapped
    }

    void detectorValuesReachACalibration() {
        Rig r;
        RecordingCalibration calibration;
        r.context.Calibration = &calibration;
        r.context.CalibrationPhase = 1;
        r.m().WebCam_FPS(25);
        r.m().WebCam_Percent(97);
        r.context.CalibrationPhase = 3;
        r.m().WebCam_FPS(26);
        r.m().WebCam_Percent(96);
        QCOMPARE(calibration.fps, QList<qint16>{25});
        QCOMPARE(calibration.percent, QList<qint32>{96});
        QCOMPARE(r.label(0), QStringLiteral("FPS: 26"));
        QCOMPARE(r.m().LastPercent(), 96);
    }

    void imageFormatShowsItsLabel() {
        Rig r;
        r.m().WebCam_ImgFormat(QStringLiteral("640x480"));
        QVERIFY(r.m().OverlayLabel(2).isVisibleTo(&r.m()));
        QCOMPARE(r.label(2), QStringLiteral("640x480"));
    }

    void snapshotSavesAndShowsThePicture() {
        Rig r;
        r.context.settings.CreateSubFolders = false;
        r.context.settings.InPrintDate = false;
        r.context.settings.Convert2JPG = true;
        r.m().WebcamStart();
        QVERIFY(r.device->pushFilled(90));
        QSignalSpy saved(&r.m().CaptureControl(), &capture::CaptureControl::Saved);
        r.m().XpB_Click(0);
        QCOMPARE(saved.size(), 1);
        QVERIFY(saved[0][0].toString().endsWith(QStringLiteral(".jpg")));
        QVERIFY(r.m().PSave()->isVisibleTo(&r.m()));
        QVERIFY(r.m().PsaveT().isActive());
        r.m().PsaveT_Timer();
        QVERIFY(!r.m().PSave()->isVisibleTo(&r.m()));
    }

    void captureFailureShowsOfflinePictureAndRetries() {
        Rig r;
        r.device->connectResult = false;
        r.m().WebcamStart();
        QVERIFY(r.m().CaptureControl().pOffline().isVisibleTo(&r.m()));
        QVERIFY(!r.m().PushButton(0).isEnabled());
        QVERIFY(!r.m().PushButton(1).isEnabled());

        emit r.m().CaptureControl().XpB1().Click();
        QVERIFY(!r.m().CaptureControl().pOffline().isVisibleTo(&r.m()));
        QVERIFY(r.m().CaptureControl().Timer2().isActive());
        r.m().CaptureControl().Timer2_Timer(); // still missing
        QVERIFY(r.m().CaptureControl().pOffline().isVisibleTo(&r.m()));

        r.device->connectResult = true;
        r.m().CaptureControl().Timer2_Timer();
        QVERIFY(r.m().CaptureControl().running());
        QVERIFY(r.m().PushButton(0).isEnabled() && r.m().PushButton(1).isEnabled());
        const int connects = r.device->connectCalls;
        r.m().WebcamStart(); // running: no second connection
        QCOMPARE(r.device->connectCalls, connects);
    }

    void resolutionProbesLeaveTheDeviceAsItWas() {
        Rig r;
        r.device->acceptedSizes = {QSize(640, 480), QSize(1280, 720)};
        r.m().WebcamStart();
        QVERIFY(r.m().CaptureControl().SetRes(1280, 720, true));
        QCOMPARE(r.device->size, QSize(640, 480));
        QVERIFY(!r.m().CaptureControl().SetRes(800, 600, true));
        QCOMPARE(r.device->size, QSize(640, 480));
        const int connects = r.device->connectCalls;
        QVERIFY(r.m().CaptureControl().SetRes(1280, 720));
        QCOMPARE(r.device->size, QSize(1280, 720));
        QCOMPARE(r.device->connectCalls, connects + 1); // capture restarted
        QVERIFY(!r.m().CaptureControl().SetRes(800, 600));
        QCOMPARE(r.device->size, QSize(1280, 720));
    }

    void blackPictureNotice() {
        Rig r;
        r.m().WebcamStart();
        QVERIFY(r.device->pushFilled(0));
        r.m().BScheck();
        QVERIFY(r.m().CaptureControl().BS().isActive());
        r.m().CaptureControl().BS_Timer();
        QVERIFY(r.m().BlackPicture()->isVisibleTo(&r.m()));

        Rig lit;
        lit.m().WebcamStart();
        QVERIFY(lit.device->pushFilled(40));
        QCoreApplication::processEvents();
        QVERIFY(!lit.m().CaptureControl().BlackScreen());
    }

    void resizingMovesControlsAndRestartsCaptureOnce() {
        Rig r;
        r.m().placeBorderLines();
        r.m().WebcamStart();
        r.m().showMain(); // first pass: only the size is recorded
        QVERIFY(r.m().CaptureControl().running());
        QVERIFY(!r.m().WCstart().isActive());

        r.m().resize(605, 448);
        QVERIFY(!r.m().CaptureControl().running());
        QVERIFY(r.m().WCstart().isActive());
        QCOMPARE(r.m().CaptureControl().size(), QSize(605 - 152, 448 - 59));
        QCOMPARE(r.m().PushButton(3).x(), 605 - 137);
        QCOMPARE(r.m().St()->y(), 448 - 19);
        QCOMPARE(r.m().OverlayLabel(1).pos(), QPoint(605 - 199, 448 - 45));
        QCOMPARE(r.m().PSave()->pos(), QPoint(605 - 178, 448 - 77));
        QCOMPARE(r.m().L()[1]->x(), qRound(504.0 * 605 / 505));
        r.m().resize(640, 460);
        QVERIFY(!r.m().CaptureControl().running());
        r.m().WCstart_Timer();
        QVERIFY(r.m().CaptureControl().running());
        QVERIFY(!r.m().WCstart().isActive());
    }

    void trayHidingAndComingBack() {
        Rig r;
        r.m().showMain();
        r.m().MeHide();
        QVERIFY(r.context.InTray);
        QVERIFY(!r.m().isVisible());
        QCOMPARE(r.tray.calls.count(QStringLiteral("add")), 1);
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux"));
        // The first-run tip, once per section of the store.
        QCOMPARE(r.tray.balloons.size(), 1);
        QCOMPARE(r.tray.balloons[0].text,
                 QStringLiteral("Управление программой:\r\nЛевая кнопка мыши - показать "
                                "программу,\r\nПравая кнопка мыши - меню программы"));
        r.m().MeHide();
        QCOMPARE(r.tray.calls.count(QStringLiteral("add")), 1);
        QCOMPARE(r.tray.balloons.size(), 1);

        r.tray.send(platform::TrayBackend::RightButtonUp);
        QCOMPARE(r.tray.menu, r.m().traymnu());
        QCOMPARE(r.tray.defaultItem, r.m().mnuOpen());

        r.tray.send(platform::TrayBackend::LeftButtonDown);
        QVERIFY(!r.context.InTray);
        QVERIFY(r.m().isVisible());
        QCOMPARE(r.tray.calls.last(), QStringLiteral("remove"));
    }

    void noTrayMeansNoHiding() {
        Rig r;
        r.tray.available = false;
        r.m().showMain();
        r.m().tb2_Click();
        QVERIFY(!r.context.InTray);
        QVERIFY(r.m().isVisible());
        QVERIFY(r.m().St()->text().contains(QStringLiteral("Область уведомлений недоступна")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
