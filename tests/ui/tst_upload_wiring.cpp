// The upload queue as the main window runs it: pictures saved by the window
// reach a real FTP server through outages and a refused login, rotation
// keeps what still waits, a restart sends what the last run left, and the
// tray tip, status line and FTP settings window show the backlog.
#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "FtpServerProcess.h"
#include "VideoTools.h"
#include "WindowInput.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "platform/SystemClock.h"
#include "ui/CaptureControl.h"
#include "ui/FtpSettingsWindow.h"
#include "ui/MainWindow.h"
#include "video/VideoFileCaptureDevice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace vigilux;

namespace {

using vigilux::test::click;

constexpr int kArrivalWaitMs = 60000;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A main window over fakes (camera, tray, sound) uploading to a real server;
// with `footage`, the camera is that video file played in real time.
struct Rig {
    QString footage;
    QTemporaryDir settingsDir;
    QTemporaryDir pictures;
    test::FakeClock clock;
    platform::SystemClock realClock;
    test::FakeDialogs dialogs;
    AppContext context{footage.isEmpty() ? static_cast<platform::Clock&>(clock) : realClock,
                       dialogs, settingsDir.path()};
    test::FakeTrayBackend tray;
    test::FakeSoundOutput sound;
    test::FakeProcesses processes;
    test::FakeUrlOpener urls;
    test::FakeCaptureDevice* device = nullptr;
    test::FtpServerProcess server;
    std::unique_ptr<ui::MainWindow> main;
    std::unique_ptr<core::SettingsStorage> options;

    explicit Rig(QString video = {})
        : footage(std::move(video)) {
        context.ini.setFileName(settingsDir.filePath(QStringLiteral("options.ini")));
        auto& s = context.settings;
        s.savePath = pictures.path();
        s.createSubfolders = false;
        s.imprintDate = false;
        s.saveAsJpeg = true;
        main = std::make_unique<ui::MainWindow>(
            context, ui::MainWindow::Services{
                         tray, sound, processes, urls, video::CaptureSource::demo(),
                         [this](const video::CaptureSource&) {
                             if (!footage.isEmpty())
                                 return std::unique_ptr<video::CaptureDevice>(
                                     std::make_unique<video::VideoFileCaptureDevice>(footage));
                             auto d = std::make_unique<test::FakeCaptureDevice>();
                             device = d.get();
                             return std::unique_ptr<video::CaptureDevice>(std::move(d));
                         },
                         [] { return QStringList(); }, [] { return 6; },
                         QUrl(QStringLiteral("http://127.0.0.1:1"))});
        options = std::make_unique<core::SettingsStorage>(context, *main);
        main->setOptions(options.get());
        main->queue().setRetryDelay([](int) { return 300; });
    }
    ui::MainWindow& m() { return *main; }

    bool startServer() {
        if (!server.start() || !QDir(server.folder()).mkdir(QStringLiteral("photos")))
            return false;
        auto& s = context.settings;
        s.ftpUpload = true;
        s.ftpServer = QStringLiteral("127.0.0.1");
        s.ftpLogin = server.user();
        s.ftpPassword = server.password();
        s.ftpFolder = QStringLiteral("photos");
        m().ftp().setControlPort(server.port());
        m().ftp().setStartDelayMs(10);
        return true;
    }
    QString served(const QString& path) const {
        return server.folder() + QStringLiteral("/photos/") + QFileInfo(path).fileName();
    }
    // Takes a snapshot of a frame filled with `value`; returns its file.
    QString snapshot(uchar value) {
        clock.advance(1000); // a new time-stamped name
        if (!device->pushFilled(value))
            return QString();
        QSignalSpy saved(&m().capture().pipeline(), &pipeline::WatchPipeline::pictureSaved);
        m().onButtonClicked(ui::MainWindow::Button::Snapshot);
        // Written on the saver's own thread, reported back here.
        if (saved.isEmpty() && !saved.wait(20000))
            return QString();
        return saved.first().first().toString();
    }
    QString status() { return m().findChild<QLabel*>(QStringLiteral("statusLine"))->text(); }
};

} // namespace

class TestUploadWiring : public QObject {
    Q_OBJECT
private slots:
    // The journal the last run left in the settings folder: the files that
    // still exist are sent, the status line says how many, and the tray tip
    // counts them down.
    void lastRunsQueueIsSentAtStart() {
        Rig r;
        QVERIFY2(r.startServer(), qPrintable(r.server.error()));
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            files << r.pictures.filePath(QStringLiteral("left%1.jpg").arg(i));
            QFile file(files.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(5000 + i, static_cast<char>('a' + i)));
        }
        const QString gone = r.pictures.filePath(QStringLiteral("gone.jpg"));
        {
            QFile journal(r.settingsDir.filePath(upload::UploadQueue::journalFileName()));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            for (const QString& f : files + QStringList{gone})
                journal.write(("queued\t" + f + "\n").toUtf8());
        }
        QCOMPARE(r.m().queue().journalPath(),
                 r.settingsDir.filePath(upload::UploadQueue::journalFileName()));
        r.m().showMain();
        r.m().hideToTray();

        r.m().restoreUploads();
        QCOMPARE(r.status(), QStringLiteral("Восстановлена очередь загрузки на ftp (изображений: "
                                            "3), не найдено файлов: 1"));
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux\nВ очереди на ftp: 3"));
        QTRY_COMPARE_WITH_TIMEOUT(r.m().queue().waitingCount(), 0, kArrivalWaitMs);
        for (const QString& f : files)
            QCOMPARE(readAll(r.served(f)), readAll(f));
        QCOMPARE(r.tray.tip, QStringLiteral("Vigilux"));
    }

    // The server goes away while pictures are taken with a file limit of 2
    // and comes back: rotation deletes none that still waits, every picture
    // arrives, and only then is the folder brought back to its limit.
    void outageWithRotationLosesNothing() {
        Rig r;
        QVERIFY2(r.startServer(), qPrintable(r.server.error()));
        r.context.settings.limitFiles = true;
        r.context.settings.maxFileCount = 2;
        const quint16 port = r.server.port();
        r.server.stop();
        r.m().startCapture();

        QStringList files;
        QList<QByteArray> bytes;
        for (int i = 0; i < 5; ++i) {
            files << r.snapshot(static_cast<uchar>(40 + 30 * i));
            QVERIFY(!files.last().isEmpty());
            bytes << readAll(files.last());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!r.m().queue().lastError().isEmpty(), kArrivalWaitMs);
        for (const QString& f : files)
            QVERIFY2(QFile::exists(f), qPrintable(f));
        QCOMPARE(r.m().queue().waitingCount(), 5);

        QVERIFY2(r.server.start(port), qPrintable(r.server.error()));
        QTRY_COMPARE_WITH_TIMEOUT(r.m().queue().waitingCount(), 0, kArrivalWaitMs);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(readAll(r.served(files.at(i))), bytes.at(i));
        QCOMPARE(
            QDir(r.pictures.path()).entryList(QDir::Files),
            (QStringList{QFileInfo(files.at(3)).fileName(), QFileInfo(files.at(4)).fileName()}));
    }

    // Watching footage with clips and their upload on: the event's clip
    // reaches the server after the event's frames, whole.
    void eventClipsFollowTheirFrames() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed (scripts/deps.sh installs it)");
        QTemporaryDir media;
        const QString footage =
            test::makeCrossingFootage(media.filePath(QStringLiteral("footage.mp4")), 10);
        QVERIFY(!footage.isEmpty());
        Rig r(footage);
        QVERIFY2(r.startServer(), qPrintable(r.server.error()));
        auto& s = r.context.settings;
        s.eventGap = 1;
        s.eventClips = true;
        s.uploadClips = true;
        s.clipPreRoll = 1;
        s.clipPostRoll = 1;
        r.m().setDetectorValue(core::IntervalValue, 100);
        r.m().setDetectorValue(core::NoiseValue, 8);
        r.m().setDetectorValue(core::SimilarityValue, 2);
        QStringList saved; // frames and clips, in the order they were announced
        connect(&r.m().capture().pipeline(), &pipeline::WatchPipeline::pictureSaved, this,
                [&](const QString& path) { saved << path; });
        connect(&r.m().capture().pipeline(), &pipeline::WatchPipeline::clipSaved, this,
                [&](const QString& path) { saved << path; });
        r.m().startCapture();
        r.m().toggleWatching();
        QVERIFY(r.context.watching);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(saved.cbegin(), saved.cend(),
                        [](const QString& p) { return p.endsWith(QLatin1String(".mp4")); }),
            30000);
        r.m().toggleWatching();

        QVERIFY(saved.size() > 1);
        const QString clip = saved.last();
        QVERIFY2(clip.endsWith(QLatin1String(".mp4")), qPrintable(saved.join(QLatin1Char(' '))));
        QTRY_COMPARE_WITH_TIMEOUT(r.m().queue().waitingCount(), 0, kArrivalWaitMs);
        for (const QString& file : std::as_const(saved))
            QCOMPARE(readAll(r.served(file)), readAll(file));
        QVERIFY(!test::probeVideo(r.served(clip)).isEmpty());
    }

    // A refused login pauses the queue with a message; the FTP settings
    // window shows the backlog and the error, and saving the corrected
    // password sends what waited.
    void refusedLoginWaitsForNewSettings() {
        Rig r;
        QVERIFY2(r.startServer(), qPrintable(r.server.error()));
        r.context.settings.ftpPassword = QStringLiteral("wrong");
        r.m().startCapture();
        const QString first = r.snapshot(60);
        const QString second = r.snapshot(120);
        QTRY_VERIFY_WITH_TIMEOUT(r.m().queue().paused(), kArrivalWaitMs);
        QCOMPARE(r.status(), QStringLiteral("Загрузка на ftp приостановлена: сервер не принял "
                                            "логин или пароль (изображений в очереди: 2)"));

        QString queueText;
        QString errorTip;
        QTimer::singleShot(0, this, [&] {
            auto* window = r.m().findChild<ui::FtpSettingsWindow*>();
            if (!window) {
                QApplication::activeModalWidget()->close();
                return;
            }
            if (QTest::qWaitForWindowExposed(window)) {
                queueText = window->queueLabel()->text();
                errorTip = window->errorLabel()->toolTip();
                window->field(3)->setText(r.server.password());
                click(window->button(0));
            }
            if (window->isVisible())
                window->reject();
        });
        r.m().onButtonClicked(ui::MainWindow::Button::FtpSettings);
        QCOMPARE(queueText, QStringLiteral("Изображений в очереди на загрузку: 2"));
        QVERIFY2(errorTip.startsWith(QStringLiteral("Последняя ошибка: Ответ сервера: 530")),
                 qPrintable(errorTip));
        QCOMPARE(r.context.settings.ftpPassword, r.server.password());
        QTRY_COMPARE_WITH_TIMEOUT(r.m().queue().waitingCount(), 0, kArrivalWaitMs);
        QCOMPARE(readAll(r.served(first)), readAll(first));
        QCOMPARE(readAll(r.served(second)), readAll(second));
    }
};

QTEST_MAIN(TestUploadWiring)
#include "tst_upload_wiring.moc"
