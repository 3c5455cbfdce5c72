#include "FakeClock.h"
#include "FakeDialogs.h"
#include "app/Lifecycle.h"
#include "app/LifecycleHost.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "platform/InstanceLock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

// Records every call start-up and shutdown make, in order.
class RecordingShell final : public app::LifecycleHost, public core::DetectorValuesTarget {
public:
    QStringList log;
    QStringList tips;

    void setDetectorValue(core::DetectorValue which, qint32 v) override {
        log << QStringLiteral("setDetectorValue(%1,%2)").arg(int(which)).arg(v);
    }
    void hideMain() override { log << QStringLiteral("hideMain"); }
    void placeBorderLines() override { log << QStringLiteral("placeBorderLines"); }
    void makeTopmost() override { log << QStringLiteral("makeTopmost"); }
    void createTray() override { log << QStringLiteral("createTray"); }
    void showSplash() override { log << QStringLiteral("showSplash"); }
    void startCapture() override { log << QStringLiteral("WebcamStart"); }
    void setLabelTips(const QStringList& t) override {
        tips = t;
        log << QStringLiteral("setLabelTips");
    }
    void installWindowProc() override { log << QStringLiteral("installWindowProc"); }
    void restoreUploads() override { log << QStringLiteral("restoreUploads"); }
    void showSettingsFolderNote(const QString&) override { log << QStringLiteral("note"); }
    void showMain() override { log << QStringLiteral("showMain"); }
    void hideToTray() override { log << QStringLiteral("MeHide"); }
    void toggleWatching() override { log << QStringLiteral("StartAuto"); }
    void armUpdateCheck() override { log << QStringLiteral("armUpdateCheck"); }
    void startBlackScreenCheck() override { log << QStringLiteral("startBlackScreenCheck"); }
    void stopCapture() override { log << QStringLiteral("WebcamStop"); }
    void restoreWindowProc() override { log << QStringLiteral("restoreWindowProc"); }
    void unloadAll() override { log << QStringLiteral("UnLoadAll"); }
};

// Windows that close unless told to refuse.
class ScriptedForms final : public app::WindowStack {
public:
    QStringList open;
    QStringList refusing;
    QStringList unloaded;
    int count() const override { return static_cast<int>(open.size()); }
    void unload(int index) override {
        const QString name = open.at(index);
        unloaded << name;
        if (!refusing.contains(name))
            open.removeAt(index);
    }
};

struct Fixture {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    RecordingShell shell;
    QString iniPath() const { return dir.filePath(QStringLiteral("options.ini")); }
    QString lockPath() const { return dir.filePath(QStringLiteral("vigilux.lock")); }
    std::unique_ptr<app::Lifecycle> make(bool fellBack = false) {
        return std::make_unique<app::Lifecycle>(context, shell, shell, lockPath(), iniPath(),
                                                fellBack);
    }
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void startUpRunsItsStepsInOrder() {
        Fixture f;
        QFile ini(f.iniPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Sensor]\r\nTimer=700\r\nNoise=3\r\nPercent=12\r\n");
        ini.close();

        auto lifecycle = f.make();
        QVERIFY(lifecycle->start());
        const QStringList expected{QStringLiteral("hideMain"),
                                   QStringLiteral("placeBorderLines"),
                                   QStringLiteral("makeTopmost"),
                                   QStringLiteral("createTray"),
                                   QStringLiteral("setDetectorValue(0,700)"),
                                   QStringLiteral("setDetectorValue(1,3)"),
                                   QStringLiteral("setDetectorValue(2,12)"),
                                   QStringLiteral("showSplash"),
                                   QStringLiteral("WebcamStart"),
                                   QStringLiteral("setLabelTips"),
                                   QStringLiteral("installWindowProc"),
                                   QStringLiteral("restoreUploads")};
        QCOMPARE(f.shell.log, expected);
        QCOMPARE(f.shell.tips.size(), 6);
        QCOMPARE(f.shell.tips.at(3), QStringLiteral("Значение детектора движения"));
        QCOMPARE(f.context.ini.fileName(), f.iniPath());
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void firstStartCreatesTheFileBeforeTheSplash() {
        Fixture f;
        auto lifecycle = f.make();
        QVERIFY(lifecycle->start());
        QVERIFY(QFile::exists(f.iniPath()));
        // Defaults push the detector values, then the load pushes them again.
        QCOMPARE(f.shell.log.filter(QStringLiteral("setDetectorValue")).size(), 6);
        QVERIFY(f.shell.log.indexOf(QStringLiteral("showSplash")) >
                f.shell.log.lastIndexOf(QRegularExpression(QStringLiteral("^setDetectorValue"))));
    }

    void secondInstanceIsRefusedAndTouchesNothing() {
        Fixture f;
        platform::InstanceLock running(f.lockPath());
        QVERIFY(running.tryAcquire());

        auto lifecycle = f.make();
        QVERIFY(!lifecycle->start());
        QCOMPARE(f.shell.log, QStringList{QStringLiteral("hideMain")});
        QCOMPARE(f.dialogs.messages.size(), 1);
        const auto& box = f.dialogs.messages.constFirst();
        QCOMPARE(box.icon, platform::Dialogs::Icon::Error);
        QCOMPARE(box.title, QStringLiteral("Vigilux"));
        QCOMPARE(box.text, QStringLiteral("Программа уже запущена!"));
        QVERIFY(!QFile::exists(f.iniPath()));
    }

    void settingsFolderNoteOnlyWhenFallenBack() {
        Fixture f;
        auto lifecycle = f.make(true);
        QVERIFY(lifecycle->start());
        QCOMPARE(f.shell.log.last(), QStringLiteral("note"));
    }

    void splashEndHidesBeforeWatchModeAndAlwaysArmsTheCheck_data() {
        QTest::addColumn<bool>("minStart");
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<QStringList>("expected");
        const QString show = QStringLiteral("showMain"), hide = QStringLiteral("MeHide"),
                      autoOn = QStringLiteral("StartAuto"), arm = QStringLiteral("armUpdateCheck"),
                      bs = QStringLiteral("startBlackScreenCheck");
        QTest::newRow("plain") << false << false << QStringList{show, arm, bs};
        QTest::newRow("minimised") << true << false << QStringList{show, hide, arm, bs};
        QTest::newRow("watching") << false << true << QStringList{show, autoOn, arm, bs};
        QTest::newRow("both") << true << true << QStringList{show, hide, autoOn, arm, bs};
    }
    void splashEndHidesBeforeWatchModeAndAlwaysArmsTheCheck() {
        QFETCH(bool, minStart);
        QFETCH(bool, autoStart);
        QFETCH(QStringList, expected);
        Fixture f;
        auto lifecycle = f.make();
        f.context.settings.startMinimized = minStart;
        f.context.settings.startWatching = autoStart;
        lifecycle->splashEnded();
        QCOMPARE(f.shell.log, expected);
    }

    void unloadStopsCaptureFirstAndWritesNothing() {
        Fixture f;
        auto lifecycle = f.make();
        lifecycle->unload();
        QCOMPARE(f.shell.log,
                 (QStringList{QStringLiteral("WebcamStop"), QStringLiteral("restoreWindowProc"),
                              QStringLiteral("UnLoadAll")}));
        QVERIFY(!QFile::exists(f.iniPath()));
    }

    void unloadAllClosesNewestFirstAndStopsAtARefusal() {
        ScriptedForms forms;
        forms.open = {QStringLiteral("Main"), QStringLiteral("Options"), QStringLiteral("About")};
        app::unloadAll(forms);
        QCOMPARE(forms.unloaded, (QStringList{QStringLiteral("About"), QStringLiteral("Options"),
                                              QStringLiteral("Main")}));
        QVERIFY(forms.open.isEmpty());

        ScriptedForms stubborn;
        stubborn.open = {QStringLiteral("Main"), QStringLiteral("Options"),
                         QStringLiteral("About")};
        stubborn.refusing = {QStringLiteral("Options")};
        app::unloadAll(stubborn);
        QCOMPARE(stubborn.unloaded,
                 (QStringList{QStringLiteral("About"), QStringLiteral("Options")}));
        QCOMPARE(stubborn.open, (QStringList{QStringLiteral("Main"), QStringLiteral("Options")}));

        ScriptedForms one;
        one.open = {QStringLiteral("Main")};
        app::unloadAll(one);
        QCOMPARE(one.unloaded, QStringList{QStringLiteral("Main")});
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
