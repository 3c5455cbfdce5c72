#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "ScriptedHttpServer.h"
#include "VideoTools.h"
#include "app/QuietTime.h"
#include "app/UpdateChecker.h"
#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/CalibrationTarget.h"
#include "core/NotifyOptions.h"
#include "events/EventLog.h"
#include "events/EventTracker.h"
#include "pipeline/WatchPipeline.h"
#include "platform/ScreenSaverInhibitor.h"
#include "ui/MainWindow.h"
#include "ui/MotionLevelBar.h"
#include "ui/OpenWindows.h"
#include "ui/PreviewWidget.h"
#include "ui/RecordingIndicator.h"
#include "ui/SplashWindow.h"
#include "ui/StatusLabel.h"
#include "video/CameraHealthMonitor.h"
#include "video/CaptureDeviceFactory.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

using Label = ui::MainWindowLayout::Label;
using Button = ui::MainWindowLayout::Button;

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
    std::unique_ptr<ui::MainWindow> main;

    explicit Rig(video::CaptureSource source = video::CaptureSource::demo(),
                 bool cameraHealth = false) {
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        context.settings.savePath = dir.path();
        main = std::make_unique<ui::MainWindow>(
            context,
            ui::MainWindow::Services{tray, sound, processes, urls, source,
                                     [this](const video::CaptureSource&) {
                                         auto d = std::make_unique<test::FakeCaptureDevice>();
                                         d->connectResult = connects;
                                         device = d.get();
                                         return std::unique_ptr<video::CaptureDevice>(std::move(d));
                                     },
                                     [] { return QStringList(); }, [] { return 6; },
                                     QUrl(QStringLiteral("http://127.0.0.1:1"))});
        // The solid pictures most tests push are a covered camera: its
        // alerts are heard only where they are the subject.
        if (!cameraHealth)
            QObject::disconnect(&main->capture().health(), nullptr, nullptr, nullptr);
    }
    ui::MainWindow& m() { return *main; }
    // Sound, balloon and program on every alarm, saving off; returns the
    // program, an empty file that counts as one.
    QString alarmActionsOn() {
        QFile wav(dir.filePath(QStringLiteral("alarm.wav")));
        if (wav.open(QIODevice::WriteOnly))
            wav.write("RIFFalarm");
        wav.close();
        const QString program = dir.filePath(QStringLiteral("on-alarm.sh"));
        QFile(program).open(QIODevice::WriteOnly);
        auto& s = context.settings;
        s.saveOnAlarm = false;
        s.soundOnAlarm = true;
        s.alarmSoundPath = wav.fileName();
        s.balloonOnAlarm = true;
        s.runOnAlarm = true;
        s.alarmProgramPath = program;
        return program;
    }
    // The window's parts, found as a user's script would: by object name.
    template <typename T = QWidget>
    T* child(const QString& name) {
        T* found = main->findChild<T*>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    controls::OverlayLabel& label(Label which) {
        return *child<controls::OverlayLabel>(ui::MainWindowLayout::objectName(which));
    }
    controls::PushButton& button(Button which) {
        return *child<controls::PushButton>(ui::MainWindowLayout::objectName(which));
    }
    QString text(Label which) { return label(which).text(); }
    QLabel* statusLine() { return child<QLabel>(QStringLiteral("statusLine")); }
    // One detector step on a frame filled with `value`.
    void step(uchar value) {
        m().capture().detector().onDetectorTick();
        QVERIFY(device->pushFilled(value));
    }
    uchar level = 0; // the picture of the latest event step
    // One event of `steps` alarm steps 500 ms apart, after 11 s of quiet
    // (its first, still step ends the event before, if any).
    void event(int steps) {
        clock.advance(11000);
        step(level);
        for (int i = 0; i < steps; ++i) {
            clock.advance(500);
            level = level == 0 ? 200 : 0;
            step(level);
        }
    }
};

// Records what the window asks of the desktop's screen saver.
class RecordingScreenSaver final : public platform::ScreenSaverInhibitor {
public:
    QList<bool> calls;
    bool inhibited() const { return !calls.isEmpty() && calls.last(); }
    void setInhibited(bool on) override { calls << on; }
};

class RecordingCalibration final : public core::CalibrationTarget {
public:
    QList<qint16> fps;
    QList<qint32> percent;
    void speedValue(qint16 v) override { fps << v; }
    void similarityValue(qint32 v) override { percent << v; }
};

// A Telegram bot set up in the rig's options.ini, talking to `api`, which
// answers `replies` messages with success.
void telegramTo(Rig& r, test::ScriptedHttpServer& api, int replies) {
    for (int i = 0; i < replies; ++i)
        api.replies.enqueue({test::ScriptedHttpServer::ok(R"({"ok":true})"), true});
    core::NotifySettings n;
    n.telegramOn = true;
    n.telegramApi = QStringLiteral("http://127.0.0.1:%1").arg(api.port());
    n.telegramToken = QStringLiteral("777:secretToken");
    n.telegramChat = QStringLiteral("42");
    core::NotifyOptions(r.context.ini, n, nullptr).save();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void splashTimersAndItsSingleEnd() {
        auto* splash = new ui::SplashWindow;
        QPointer<ui::SplashWindow> guard(splash);
        splash->show();
        QVERIFY(splash->endTimer().isActive());
        QVERIFY(splash->endTimer().isSingleShot());
        QCOMPARE(splash->endTimer().interval(), 4000);
        QCOMPARE(splash->blinkTimer().interval(), 800);
        const bool lit = splash->indicatorVisible();
        splash->onBlinkTick();
        QCOMPARE(splash->indicatorVisible(), !lit);

        QSignalSpy finished(splash, &ui::SplashWindow::finished);
        splash->onEndTimeout();
        splash->onEndTimeout();
        QCOMPARE(finished.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 2000); // unloaded itself
    }

    void openWindowsAreKeptInShowOrder() {
        ui::OpenWindows forms;
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
        QCOMPARE(r.m().size(), ui::MainWindow::DesignSize);
        QVERIFY(r.m().windowFlags() & Qt::FramelessWindowHint);
        r.m().makeTopmost();
        QVERIFY(r.m().windowFlags() & Qt::WindowStaysOnTopHint);
        r.m().placeBorderLines();
        QCOMPARE(r.child(QStringLiteral("borderLine0"))->geometry(), QRect(0, 0, 1, 348));
        QCOMPARE(r.child(QStringLiteral("borderLine3"))->geometry(), QRect(0, 0, 505, 1));
        r.m().installWindowProc();
        QCOMPARE(r.m().minimumSize(), ui::MainWindow::MinimumSize);
        r.m().armUpdateCheck();
        QVERIFY(r.m().updateCheckTimer().isActive());
        QCOMPARE(r.m().updateCheckTimer().interval(), 1000);
        for (int i = 0; i < ui::MainWindowLayout::LabelCount; ++i)
            QVERIFY(!r.label(Label(i)).isVisibleTo(&r.m()));
        QVERIFY(!r.button(Button::SmsSettings).isVisibleTo(&r.m()));
        QVERIFY(!r.button(Button::DetectorSettings).isEnabled());
        QVERIFY(!r.m().detectorAction()->isEnabled());
    }

    void exitUnloadsOnceAndClosesEveryWindow() {
        Rig r;
        r.m().showMain();
        QWidget other;
        other.show();
        QSignalSpy unload(&r.m(), &ui::MainWindow::unloadRequested);
        connect(&r.m(), &ui::MainWindow::unloadRequested, &r.m(), [&] {
            r.m().stopCapture();
            r.m().restoreWindowProc();
            r.m().unloadAll();
        });
        r.m().close(); // a close from outside is the exit command
        QCOMPARE(unload.size(), 1);
        QVERIFY(!other.isVisible());
        QVERIFY(!r.m().isVisible());
        r.m().onButtonClicked(Button::Exit);
        QCOMPARE(unload.size(), 1);
    }

    void detectorSettingsReachTheCaptureControl() {
        Rig r;
        r.m().setDetectorValue(core::IntervalValue, 700);
        r.m().setDetectorValue(core::NoiseValue, 7);
        r.m().setDetectorValue(core::SimilarityValue, 30);
        auto& d = r.m().capture().detector();
        QCOMPARE(d.detectorInterval(), qint16(700));
        QCOMPARE(d.noiseTolerance(), qint16(7));
        QCOMPARE(d.similarityThreshold(), qint16(70));
        QCOMPARE(r.text(Label::Interval), QStringLiteral("700"));
        QCOMPARE(r.text(Label::Threshold), QStringLiteral("30%"));
    }

    void watchModeTogglesEverything() {
        Rig r;
        r.m().startCapture();
        r.context.alarmCount = 9;
        r.m().toggleWatching();
        QVERIFY(r.context.watching);
        QCOMPARE(r.context.alarmCount, qint16(0));
        for (Label l :
             {Label::Speed, Label::Interval, Label::Motion, Label::Threshold, Label::AlarmCount})
            QVERIFY(r.label(l).isVisibleTo(&r.m()));
        QVERIFY(!r.label(Label::ImageFormat).isVisibleTo(&r.m()));
        QCOMPARE(r.text(Label::AlarmCount), QStringLiteral("0"));
        QVERIFY(!r.button(Button::Snapshot).isEnabled() && !r.m().snapshotAction()->isEnabled());
        QVERIFY(r.button(Button::DetectorSettings).isEnabled() &&
                r.m().detectorAction()->isEnabled());
        QVERIFY(!r.button(Button::ProgramOptions).isEnabled() &&
                !r.m().optionsAction()->isEnabled());
        QCOMPARE(r.button(Button::Watch).caption(), QStringLiteral("Автосъемка выкл."));
        QCOMPARE(r.m().watchAction()->text(), QStringLiteral("Автосъемка выкл."));
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка включена"));
        QVERIFY(r.m().recordingIndicator().blinkTimer().isActive());
        QVERIFY(r.m().capture().sensor().isVisibleTo(&r.m()));

        r.m().toggleWatching();
        QVERIFY(!r.context.watching);
        for (Label l :
             {Label::Speed, Label::Interval, Label::Motion, Label::Threshold, Label::AlarmCount})
            QVERIFY(!r.label(l).isVisibleTo(&r.m()));
        QVERIFY(r.button(Button::Snapshot).isEnabled() && r.m().snapshotAction()->isEnabled());
        QVERIFY(!r.button(Button::DetectorSettings).isEnabled() &&
                !r.m().detectorAction()->isEnabled());
        QCOMPARE(r.button(Button::Watch).caption(), QStringLiteral("Автосъемка вкл."));
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка выключена"));
        QVERIFY(!r.m().recordingIndicator().blinkTimer().isActive());
    }

    // The screen stays awake exactly while watching with the option on,
    // and is given back at exit.
    void watchingKeepsTheScreenAwake() {
        Rig r;
        RecordingScreenSaver screenSaver;
        r.m().setScreenSaverInhibitor(&screenSaver);
        r.m().startCapture();
        r.context.settings.blockScreenSaver = true;
        r.m().toggleWatching();
        QVERIFY(screenSaver.inhibited());
        r.m().toggleWatching();
        QVERIFY(!screenSaver.inhibited());

        r.context.settings.blockScreenSaver = false;
        r.m().toggleWatching();
        QVERIFY(!screenSaver.inhibited());
        r.m().toggleWatching();

        r.context.settings.blockScreenSaver = true;
        r.m().toggleWatching();
        QVERIFY(screenSaver.inhibited());
        r.m().exitProgram();
        QVERIFY(!screenSaver.inhibited());
    }

    void motionRunsTheAlarmChain() {
        Rig r;
        const QString program = r.alarmActionsOn();
        auto& s = r.context.settings;
        s.waitForAlarmProgram = true;
        r.m().setDetectorValue(core::SimilarityValue, 10);
        r.m().startCapture();
        r.m().toggleWatching();
        r.m().showStatus(QStringLiteral("before"));
        QString statusDuringWait;
        r.processes.whileWaiting = [&] { statusDuringWait = r.statusLine()->text(); };

        r.step(0);   // first step after start: never an alarm
        r.step(200); // everything changed
        QCOMPARE(r.text(Label::Motion), QStringLiteral("100%"));
        QCOMPARE(r.context.alarmCount, qint16(1));
        QCOMPARE(r.text(Label::AlarmCount), QStringLiteral("1"));
        QCOMPARE(r.label(Label::Motion).panel()->palette().color(QPalette::Window),
                 ui::MainWindow::AlarmRed);
        QCOMPARE(r.sound.played.size(), 1);
        QVERIFY(r.tray.balloons.isEmpty()); // only while in the tray
        QCOMPARE(r.processes.waited, QStringList{program});
        QCOMPARE(statusDuringWait, QStringLiteral("Ожидание завершения внешнего приложения..."));
        QCOMPARE(r.statusLine()->text(), QStringLiteral("before"));

        // A still frame puts the grey back and raises no alarm.
        r.step(200);
        QCOMPARE(r.text(Label::Motion), QStringLiteral("0%"));
        QCOMPARE(r.label(Label::Motion).panel()->palette().color(QPalette::Window),
                 ui::MainWindow::LabelGrey);
        QCOMPARE(r.context.alarmCount, qint16(1));

        // In the tray the balloon tells the count and the difference.
        r.context.inTray = true;
        r.tray.available = true;
        r.m().tray().add();
        s.waitForAlarmProgram = false;
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

    // A Telegram bot set up in options.ini hears of each event twice (its
    // first picture, then the summary), and nothing while muted.
    void notificationsPerEvent() {
        Rig r;
        test::ScriptedHttpServer api;
        QVERIFY(api.listen());
        telegramTo(r, api, 4);
        r.context.settings.saveOnAlarm = true;
        r.context.settings.eventGap = 10;
        r.m().setDetectorValue(core::SimilarityValue, 10);
        r.m().startCapture();
        r.m().toggleWatching();

        r.step(r.level);
        r.event(3);
        // Muted once the first event is over (muting an open one would
        // hold back its summary).
        r.clock.advance(11000);
        r.step(r.level);
        r.m().muteAction(0)->trigger();
        r.event(2);
        r.m().muteAction(3)->trigger();
        r.event(1);
        r.m().toggleWatching();
        QCOMPARE(r.m().eventTracker().eventCount(), 3);

        QTRY_COMPARE_WITH_TIMEOUT(api.connections(), 4, 30000);
        QTRY_COMPARE(r.m().notifications().queue()->pendingCount(), 0);
        QVERIFY(api.requests[0].contains("/sendPhoto"));
        QVERIFY(api.requests[0].contains(QStringLiteral("Событие 1: движение").toUtf8()));
        QVERIFY(api.requests[1].contains(QStringLiteral("Событие 1 закончилось").toUtf8()));
        QVERIFY(api.requests[2].contains(QStringLiteral("Событие 3: движение").toUtf8()));
        QVERIFY(api.requests[3].contains(QStringLiteral("Событие 3 закончилось").toUtf8()));
        QVERIFY(!r.statusLine()->text().contains(QStringLiteral("secretToken")));
    }

    // Hidden to the tray and shown again, minimised, resized (each restarts
    // capture) while an event is open: the event still gets one clip, and
    // its end is logged once, naming that clip.
    void oneClipPerEventWhateverTheWindowDoes() {
        Rig r;
        auto& s = r.context.settings;
        s.saveOnAlarm = false;
        s.eventGap = 10;
        s.eventClips = true;
        s.clipPreRoll = 1;
        s.clipPostRoll = 1;
        s.clipFrameRate = 10;
        r.m().setDetectorValue(core::SimilarityValue, 10);
        r.m().startCapture();
        r.m().show();
        QSignalSpy clips(&r.m().capture().pipeline(), &pipeline::WatchPipeline::clipSaved);
        QSignalSpy ended(&r.m().eventTracker(), &events::EventTracker::eventEnded);
        r.m().toggleWatching();
        r.step(r.level);
        r.event(2);

        r.m().hideToTray();
        r.m().showFromTray();
        r.m().showMinimized();
        r.m().showNormal();
        r.m().resize(r.m().size() + QSize(40, 30));
        r.m().onCaptureStartTimeout();
        for (int i = 0; i < 3; ++i) { // the event goes on
            r.clock.advance(500);
            r.level = r.level == 0 ? 200 : 0;
            r.step(r.level);
        }
        for (int i = 0; i < 26; ++i) { // a quiet time ends it, then its clip
            r.clock.advance(500);
            r.step(r.level);
        }
        r.m().toggleWatching();

        QCOMPARE(ended.count(), 1);
        QCOMPARE(clips.count(), 1);
        const QList<QStringList> log =
            test::readEventLog(r.dir.filePath(events::EventLog::FileName));
        QCOMPARE(log.size(), 1);
        QCOMPARE(QDir(r.dir.path()).absoluteFilePath(log.first().at(9)),
                 clips.first().first().toString());
    }

    // Hidden in the tray the window does no preview work: frames go on to
    // the detector, none is converted for painting until it is shown.
    void hiddenWindowConvertsNoPreview() {
        Rig r;
        r.m().startCapture();
        r.m().show();
        const ui::PreviewWidget& preview = r.m().capture().preview();
        QImage picture(64, 48, QImage::Format_RGB888);
        picture.fill(Qt::gray);
        QVERIFY(r.device->pushFrame(picture));
        QTRY_VERIFY_WITH_TIMEOUT(preview.convertedFrames() > 0, 10000);
        r.m().hideToTray();
        QVERIFY(!r.m().isVisible());
        const quint64 shown = preview.convertedFrames();
        const quint64 delivered = r.device->deliveredFrames();
        for (int i = 0; i < 10; ++i) {
            QVERIFY(r.device->pushFrame(picture));
            QCoreApplication::processEvents();
        }
        QCOMPARE(r.device->deliveredFrames(), delivered + 10);
        QCOMPARE(preview.convertedFrames(), shown);
        r.m().showFromTray();
        QTRY_VERIFY_WITH_TIMEOUT(preview.convertedFrames() > shown, 10000);
    }

    // Sound, balloon and program once per event; the quiet time from the
    // tray silences them while counting, events and the log go on.
    void perEventActionsAndQuietTime() {
        Rig r;
        r.alarmActionsOn();
        auto& s = r.context.settings;
        s.soundPerEvent = true;
        s.balloonPerEvent = true;
        s.programPerEvent = true;
        s.eventGap = 10;
        r.m().setDetectorValue(core::SimilarityValue, 10);
        r.m().startCapture();
        r.m().toggleWatching();
        r.context.inTray = true;
        r.tray.available = true;
        r.m().tray().add();
        QSignalSpy ended(&r.m().eventTracker(), &events::EventTracker::eventEnded);

        r.step(r.level); // the first step never alarms
        r.event(4);
        QCOMPARE(r.context.alarmCount, qint16(4)); // the counter still counts steps
        QCOMPARE(r.text(Label::AlarmCount), QStringLiteral("4"));
        QCOMPARE(r.sound.played.size(), 1);
        QCOMPARE(r.processes.started.size(), 1);
        QCOMPARE(r.tray.balloons.size(), 1);
        QVERIFY(r.tray.balloons[0].text.contains(QStringLiteral("Событие № 1 ")));
        r.event(3);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(r.sound.played.size(), 2);
        QCOMPARE(r.processes.started.size(), 2);
        QCOMPARE(r.tray.balloons.size(), 2); // none when an event ends
        QVERIFY(r.tray.balloons[1].text.contains(QStringLiteral("Событие № 2 ")));
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux [>] событий: 2"));

        // Muted for 15 minutes: the next event runs nothing.
        r.m().muteAction(0)->trigger();
        const QString until = r.m().actionMute().untilText();
        QVERIFY(until.startsWith(QStringLiteral("до ")));
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Оповещения отключены ") + until);
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux [>] событий: 2, без оповещений ") + until);
        QVERIFY(r.m().muteAction(3)->isEnabled());
        r.event(2);
        QCOMPARE(r.m().eventTracker().eventCount(), 3);
        QCOMPARE(r.context.alarmCount, qint16(9));
        QCOMPARE(r.sound.played.size(), 2);
        QCOMPARE(r.processes.started.size(), 2);
        QCOMPARE(r.tray.balloons.size(), 2);

        // It ends on time by itself, and says so.
        r.clock.advance(15 * 60 * 1000.0);
        r.m().quietTime().check();
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Оповещения включены"));
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux [>] событий: 3"));
        QVERIFY(!r.m().muteAction(3)->isEnabled());
        r.event(1);
        QCOMPARE(r.sound.played.size(), 3);
        QCOMPARE(r.processes.started.size(), 3);

        // Until unmuted, then unmuted from the menu.
        r.m().muteAction(2)->trigger();
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux [>] событий: 4, без оповещений до отмены"));
        r.event(1);
        QCOMPARE(r.sound.played.size(), 3);
        r.m().muteAction(3)->trigger();
        r.event(1);
        QCOMPARE(r.sound.played.size(), 4);

        // Watching off ends the open event; every event is in the log.
        r.m().toggleWatching();
        QCOMPARE(ended.size(), 6);
        QFile log(QDir(r.dir.path()).filePath(events::EventLog::FileName));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 6 + 1); // header, events, the last line's end
        QVERIFY(lines[3].startsWith("3,"));
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux"));
    }

    void alarmWhileDetectorWindowOrCalibration() {
        Rig r;
        r.context.settings.soundOnAlarm = true;
        r.context.settings.alarmSoundPath = r.dir.filePath(QStringLiteral("none.wav"));
        r.context.settings.runOnAlarm = true;
        r.context.settings.alarmProgramPath = QStringLiteral("/bin/true");
        r.context.detectorWindowShown = true;
        r.m().onAlarm(true);
        QCOMPARE(r.label(Label::Motion).panel()->palette().color(QPalette::Window),
                 ui::MainWindow::AlarmRed);
        QCOMPARE(r.context.alarmCount, qint16(0));
        QVERIFY(r.processes.started.isEmpty());

        r.context.detectorWindowShown = false;
        r.context.calibrationPhase = core::CalibrationPhase::Noise;
        r.m().onAlarm(true);
        QCOMPARE(r.context.alarmCount, qint16(0)); // not counted, but acted on
        QCOMPARE(r.processes.started.size(), 1);

        r.m().onSimilarity(55);
        r.m().onAlarm(false); // changes nothing at all
        QCOMPARE(r.label(Label::Motion).panel()->palette().color(QPalette::Window),
                 ui::MainWindow::LabelGrey);

        r.context.calibrationPhase = core::CalibrationPhase::None;
        r.context.alarmCount = 32767;
        r.m().onAlarm(true);
        QCOMPARE(r.context.alarmCount, qint16(32767)); // held, not wrapped
    }

    void detectorValuesReachACalibration() {
        Rig r;
        RecordingCalibration calibration;
        r.context.calibration = &calibration;
        r.context.calibrationPhase = core::CalibrationPhase::Speed;
        r.m().onSpeed(25);
        r.m().onSimilarity(97);
        r.context.calibrationPhase = core::CalibrationPhase::LargestDifference;
        r.m().onSpeed(26);
        r.m().onSimilarity(96);
        QCOMPARE(calibration.fps, QList<qint16>{25});
        QCOMPARE(calibration.percent, QList<qint32>{96});
        QCOMPARE(r.text(Label::Speed), QStringLiteral("FPS: 26"));
        QCOMPARE(r.m().lastPercent(), 96);
    }

    void imageFormatShowsItsLabel() {
        Rig r;
        r.m().onImageFormat(QStringLiteral("640x480"));
        QVERIFY(r.label(Label::ImageFormat).isVisibleTo(&r.m()));
        QCOMPARE(r.text(Label::ImageFormat), QStringLiteral("640x480"));
    }

    void snapshotSavesAndShowsThePicture() {
        Rig r;
        r.context.settings.createSubfolders = false;
        r.context.settings.imprintDate = false;
        r.context.settings.saveAsJpeg = true;
        r.m().startCapture();
        QVERIFY(r.device->pushFilled(90));
        QSignalSpy saved(&r.m().capture().pipeline(), &pipeline::WatchPipeline::pictureSaved);
        r.m().onButtonClicked(Button::Snapshot);
        QVERIFY(saved.wait(20000)); // written on the saver's own thread
        QCOMPARE(saved.size(), 1);
        QVERIFY(saved[0][0].toString().endsWith(QStringLiteral(".jpg")));
        QVERIFY(r.child(QStringLiteral("savedMark"))->isVisibleTo(&r.m()));
        QVERIFY(r.m().savedMarkTimer().isActive());
        r.m().onSavedMarkTimeout();
        QVERIFY(!r.child(QStringLiteral("savedMark"))->isVisibleTo(&r.m()));
    }

    // No camera at the start: the offline picture and greyed buttons, not
    // the demo scene; a camera plugged in later is taken at once.
    void cameraPluggedInLaterIsPickedUp() {
        QCOMPARE(video::defaultCaptureSource(), video::CaptureSource::camera(0));
        Rig r(video::CaptureSource::camera(0));
        r.device->connectResult = false;
        r.m().startCapture();
        r.m().capture().onCamerasChanged(); // some other device came and went
        QVERIFY(r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(!r.button(Button::Watch).isEnabled());
        r.device->connectResult = true;
        r.m().capture().onCamerasChanged();
        QVERIFY(r.m().capture().running());
        QVERIFY(!r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(r.button(Button::Watch).isEnabled());
    }

    void captureFailureShowsOfflinePictureAndRetries() {
        Rig r;
        r.device->connectResult = false;
        r.m().startCapture();
        QVERIFY(r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(!r.button(Button::Snapshot).isEnabled());
        QVERIFY(!r.button(Button::Watch).isEnabled());
        // The tray menu offers no more than the buttons, also while hidden.
        r.m().hideToTray();
        QVERIFY(!r.m().snapshotAction()->isEnabled());
        QVERIFY(!r.m().watchAction()->isEnabled());
        r.m().watchAction()->trigger();
        QVERIFY(!r.context.watching);

        emit r.m().capture().retryButton().clicked();
        QVERIFY(!r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(r.m().capture().reconnectTimer().isActive());
        r.m().capture().onReconnectTick(); // still missing
        QVERIFY(r.m().capture().offlineWidget().isVisibleTo(&r.m()));

        r.device->connectResult = true;
        r.m().capture().onReconnectTick();
        QVERIFY(r.m().capture().running());
        QVERIFY(r.button(Button::Snapshot).isEnabled() && r.button(Button::Watch).isEnabled());
        QVERIFY(r.m().snapshotAction()->isEnabled() && r.m().watchAction()->isEnabled());
        r.m().toggleWatching();
        QVERIFY(!r.m().snapshotAction()->isEnabled() && r.m().watchAction()->isEnabled());
        r.m().toggleWatching();
        const int connects = r.device->connectCalls;
        r.m().startCapture(); // running: no second connection
        QCOMPARE(r.device->connectCalls, connects);
    }

    // One failed save and one device error do not end watching: the save's
    // error box does not hold up capture, the device comes back by itself as
    // the retry button would bring it, and the status line never claims
    // watching while nothing is watched.
    void watchingSurvivesAFailedSaveAndADeviceError() {
        Rig r;
        auto& s = r.context.settings;
        s.saveOnAlarm = true;
        s.savePath = QStringLiteral("/proc"); // a folder nobody may write into
        s.createSubfolders = false;
        s.limitFiles = false;
        s.singleFile = false;
        s.imprintDate = false;
        s.saveAsJpeg = true;
        s.soundOnAlarm = false;
        s.balloonOnAlarm = false;
        s.runOnAlarm = false;
        r.m().setDetectorValue(core::SimilarityValue, 10);
        r.m().startCapture();
        r.m().toggleWatching();
        QSignalSpy saved(&r.m().capture().pipeline(), &pipeline::WatchPipeline::pictureSaved);
        r.step(0);
        r.step(200);
        QCOMPARE(r.context.alarmCount, qint16(1));
        // The write fails on the saver's own thread; its box comes back here.
        QTRY_COMPARE_WITH_TIMEOUT(r.dialogs.messages.size(), 1, 20000);
        QVERIFY(saved.isEmpty());
        QVERIFY(!r.dialogs.messages[0].modal);
        QVERIFY(
            r.dialogs.messages[0].text.startsWith(QStringLiteral("Не удалось записать снимок")));
        QVERIFY(r.context.watching);
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка включена"));

        const QString paused = QStringLiteral(" Автосъемка приостановлена: камера не подключена");
        r.device->connectResult = false;
        r.device->loseDevice();
        QVERIFY(r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(r.context.watching);
        QCOMPARE(r.statusLine()->text(), paused);
        QVERIFY(r.button(Button::Watch).isEnabled()); // watching can still be switched off
        QVERIFY(r.m().capture().reconnectTimer().isActive());
        QCOMPARE(r.m().capture().reconnectTimer().interval(), 500);
        r.m().capture().onReconnectTick(); // still gone: tried again, later
        QVERIFY(r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QVERIFY(r.m().capture().reconnectTimer().isActive());
        QVERIFY(r.m().capture().reconnectTimer().interval() > 500);
        QCOMPARE(r.statusLine()->text(), paused);

        r.device->connectResult = true;
        r.m().capture().onReconnectTick();
        QVERIFY(r.m().capture().running());
        QVERIFY(!r.m().capture().recovering());
        QVERIFY(!r.m().capture().reconnectTimer().isActive());
        QVERIFY(!r.m().capture().offlineWidget().isVisibleTo(&r.m()));
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка включена"));
        QVERIFY(!r.button(Button::Snapshot).isEnabled() && r.button(Button::Watch).isEnabled());
        r.step(0); // the first frame after reconnecting is not compared
        r.step(200);
        QCOMPARE(r.context.alarmCount, qint16(2));

        // Switched off and on while the camera is gone: the line says so.
        r.device->connectResult = false;
        r.device->loseDevice();
        r.m().toggleWatching();
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка выключена"));
        r.m().toggleWatching();
        QCOMPARE(r.statusLine()->text(), paused);
        // A device that was stopped on purpose and then reports an error is
        // not brought back.
        r.m().capture().reconnectTimer().stop();
        r.device->connectResult = true;
        r.m().capture().onReconnectTick();
        r.m().capture().stopCapture();
        r.device->loseDevice();
        QVERIFY(!r.m().capture().reconnectTimer().isActive());
    }

    void resolutionProbesLeaveTheDeviceAsItWas() {
        Rig r;
        r.device->acceptedSizes = {QSize(640, 480), QSize(1280, 720)};
        r.m().startCapture();
        QVERIFY(r.m().capture().setResolution(1280, 720, true));
        QCOMPARE(r.device->size, QSize(640, 480));
        QVERIFY(!r.m().capture().setResolution(800, 600, true));
        QCOMPARE(r.device->size, QSize(640, 480));
        const int connects = r.device->connectCalls;
        QVERIFY(r.m().capture().setResolution(1280, 720));
        QCOMPARE(r.device->size, QSize(1280, 720));
        QCOMPARE(r.device->connectCalls, connects + 1); // capture restarted
        QVERIFY(!r.m().capture().setResolution(800, 600));
        QCOMPARE(r.device->size, QSize(1280, 720));
    }

    void blackPictureNotice() {
        Rig r;
        r.m().startCapture();
        QVERIFY(r.device->pushFilled(0));
        r.m().startBlackScreenCheck();
        QVERIFY(r.m().capture().blackScreenTimer().isActive());
        r.m().capture().onBlackScreenCheck();
        QVERIFY(r.child(QStringLiteral("blackPicture"))->isVisibleTo(&r.m()));

        Rig lit;
        lit.m().startCapture();
        QVERIFY(lit.device->pushFilled(40));
        QCoreApplication::processEvents();
        QVERIFY(!lit.m().capture().isBlackScreen());
    }

    // The longest values and the black-picture notice are shown whole, at
    // the designed size and larger, and nothing covers anything else.
    void textsAreShownWhole() {
        Rig r;
        r.m().placeBorderLines();
        r.m().showMain();
        const QStringList longest{QStringLiteral("FPS: 99999"), QStringLiteral("32767"),
                                  QStringLiteral("4096x2160"),  QStringLiteral("100%"),
                                  QStringLiteral("100%"),       QStringLiteral("32767")};
        for (int i = 0; i < ui::MainWindowLayout::LabelCount; ++i)
            r.label(Label(i)).setText(longest.at(i));
        for (const QSize size : {ui::MainWindow::DesignSize, QSize(900, 640)}) {
            r.m().resize(size);
            const QRect picture = r.m().capture().geometry();
            for (int i = 0; i < ui::MainWindowLayout::LabelCount; ++i) {
                const QLabel* text = r.label(Label(i)).textLabel();
                QVERIFY2(text->sizeHint().width() <= text->width(), qPrintable(longest.at(i)));
                const QRect place = r.label(Label(i)).geometry();
                QVERIFY(place.left() >= picture.left() &&
                        place.right() < r.button(Button::Snapshot).x());
                QVERIFY(place.bottom() < r.statusLine()->y());
            }
            const auto bottomRow = {Label::Speed, Label::Motion, Label::ImageFormat,
                                    Label::Interval};
            for (Label a : bottomRow)
                for (Label b : bottomRow)
                    QVERIFY(a == b || !r.label(a).geometry().intersects(r.label(b).geometry()));
            QVERIFY(!r.label(Label::Threshold)
                         .geometry()
                         .intersects(r.label(Label::AlarmCount).geometry()));

            QWidget* notice = r.child(QStringLiteral("blackPicture"));
            QVERIFY(picture.contains(notice->geometry()));
            for (const char* name : {"question", "helpLink", "darkLink"}) {
                auto* line = notice->findChild<QLabel*>(QLatin1String(name));
                QVERIFY(line->heightForWidth(line->width()) <= line->height());
                QVERIFY(notice->rect().contains(line->geometry()));
            }
        }
    }

    // The note on where the settings went stays while the automatic update
    // check talks, and gives way to the next text that matters. A line too
    // long for the window keeps its whole text and shows it as a tip.
    void settingsFolderNoteStays() {
        Rig r;
        const QString ini = QStringLiteral("/home/someone/.config/Vigilux/a/rather/long/folder/"
                                           "name/options.ini");
        r.m().showSettingsFolderNote(ini);
        const QString note =
            QStringLiteral(" Папка программы закрыта для записи, настройки хранятся в ") + ini;
        emit r.m().updates().statusText(QStringLiteral("Подождите, идет проверка обновления..."));
        emit r.m().updates().statusText(QStringLiteral("Ошибка сети!"));
        QCOMPARE(r.statusLine()->text(), note);
        auto* line = qobject_cast<ui::StatusLabel*>(r.statusLine());
        QVERIFY(line);
        QVERIFY(line->shownText().endsWith(QStringLiteral("…")));

        r.m().startCapture(); // watching a camera that works
        r.m().toggleWatching();
        QCOMPARE(r.statusLine()->text(), QStringLiteral(" Автосъемка включена"));
        QCOMPARE(line->shownText(), QStringLiteral(" Автосъемка включена"));
        emit r.m().updates().statusText(QStringLiteral("Ваша версия самая новая"));
        QCOMPARE(r.statusLine()->text(), QStringLiteral("Ваша версия самая новая"));
    }

    void resizingMovesControlsAndRestartsCaptureOnce() {
        Rig r;
        r.m().placeBorderLines();
        r.m().startCapture();
        r.m().showMain(); // first pass: only the size is recorded
        QVERIFY(r.m().capture().running());
        QVERIFY(!r.m().captureStartTimer().isActive());

        r.m().resize(605, 448);
        QVERIFY(!r.m().capture().running());
        QVERIFY(r.m().captureStartTimer().isActive());
        QCOMPARE(r.m().capture().size(), QSize(605 - 152, 448 - 59));
        QCOMPARE(r.button(Button::ProgramOptions).x(), 605 - 137);
        QCOMPARE(r.statusLine()->y(), 448 - 19);
        QCOMPARE(r.label(Label::Interval).pos(), QPoint(605 - 199, 448 - 45));
        QCOMPARE(r.child(QStringLiteral("savedMark"))->pos(), QPoint(605 - 178, 448 - 77));
        QCOMPARE(r.child(QStringLiteral("borderLine1"))->x(), qRound(504.0 * 605 / 505));
        r.m().resize(640, 460);
        QVERIFY(!r.m().capture().running());
        r.m().onCaptureStartTimeout();
        QVERIFY(r.m().capture().running());
        QVERIFY(!r.m().captureStartTimer().isActive());
    }

    void trayHidingAndComingBack() {
        Rig r;
        r.m().showMain();
        r.m().hideToTray();
        QVERIFY(r.context.inTray);
        QVERIFY(!r.m().isVisible());
        QCOMPARE(r.tray.calls.count(QStringLiteral("add")), 1);
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux"));
        // The first-run tip, once per section of the store.
        QCOMPARE(r.tray.balloons.size(), 1);
        QCOMPARE(r.tray.balloons[0].text,
                 QStringLiteral("Управление программой:\r\nЛевая кнопка мыши - показать "
                                "программу,\r\nПравая кнопка мыши - меню программы"));
        r.m().hideToTray();
        QCOMPARE(r.tray.calls.count(QStringLiteral("add")), 1);
        QCOMPARE(r.tray.balloons.size(), 1);

        r.tray.send(platform::TrayBackend::RightButtonUp);
        QCOMPARE(r.tray.menu, r.m().trayMenu());
        QCOMPARE(r.tray.defaultItem, r.m().openAction());

        r.tray.send(platform::TrayBackend::LeftButtonDown);
        QVERIFY(!r.context.inTray);
        QVERIFY(r.m().isVisible());
        QCOMPARE(r.tray.calls.last(), QStringLiteral("remove"));
    }

    void noTrayMeansNoHiding() {
        Rig r;
        r.tray.available = false;
        r.m().showMain();
        r.m().onHideClicked();
        QVERIFY(!r.context.inTray);
        QVERIFY(r.m().isVisible());
        QVERIFY(r.statusLine()->text().contains(QStringLiteral("Область уведомлений недоступна")));
    }

    // A camera that goes silent and one that is covered, while watching:
    // each outage once and its end once, in order, in camera.csv, the
    // status line, a balloon and a Telegram message (frames and time are
    // scripted; nothing waits for them).
    void cameraHealthAlertsReachLogTrayAndPhone() {
        Rig r(video::CaptureSource::demo(), true);
        test::ScriptedHttpServer api;
        QVERIFY(api.listen());
        telegramTo(r, api, 4);
        // No motion alarm: only the camera speaks.
        r.m().setDetectorValue(core::SimilarityValue, 100);
        r.m().startCapture();
        r.m().toggleWatching();
        r.m().hideToTray();
        video::CameraHealthMonitor& health = r.m().capture().health();

        // A live picture: a gradient with a little sensor noise.
        QRandomGenerator random(7);
        const auto frames = [&](int count, bool lively) {
            for (int i = 0; i < count; ++i) {
                r.clock.advance(500);
                QImage picture(64, 48, QImage::Format_Grayscale8);
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x)
                        picture.scanLine(y)[x] =
                            uchar(lively ? 40 + 2 * x + y + random.bounded(4) : 3);
                QVERIFY(r.device->pushFrame(picture));
                health.onTick();
            }
        };
        frames(4, true);
        for (int i = 0; i < 12; ++i) { // silent: lost after 10 s, once
            r.clock.advance(1000);
            health.onTick();
        }
        frames(2, true);
        frames(44, false); // covered after 10 s, once (frozen would take 30 s)
        frames(2, true);

        const QStringList expected{QStringLiteral("lost"), QStringLiteral("restored"),
                                   QStringLiteral("covered"), QStringLiteral("restored")};
        QFile log(QDir(r.dir.path()).filePath(events::EventLog::CameraFileName));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), expected.size() + 2); // header, records, the last line end
        QCOMPARE(lines[0], events::EventLog::CameraHeader);
        // Balloons after the one hiding to the tray shows.
        QCOMPARE(r.tray.balloons.size(), expected.size() + 1);
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(lines[i + 1].section(QLatin1Char(','), 1, 1), expected[i]);
            QCOMPARE(r.tray.balloons[i + 1].title, i % 2 ? QStringLiteral("Камера снова работает")
                                                         : QStringLiteral("Проблема с камерой"));
        }
        QVERIFY(
            r.statusLine()->text().contains(QStringLiteral("Изображение с камеры восстановилось")));

        const QStringList texts{QStringLiteral("Нет сигнала от камеры"),
                                QStringLiteral("Изображение с камеры восстановилось"),
                                QStringLiteral("Камера закрыта или снимает в темноте"),
                                QStringLiteral("Изображение с камеры восстановилось")};
        // A request is counted when its connection opens; its body may
        // still be on the way.
        const auto delivered = [&] {
            for (int i = 0; i < texts.size(); ++i)
                if (i >= api.requests.size() || !api.requests[i].contains(texts[i].toUtf8()))
                    return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(delivered(), 30000);
        QCOMPARE(api.connections(), 4);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
