#include "app/Lifecycle.h"
#include "app/UpdateChecker.h"
#include "core/AppContext.h"
#include "replay/Replay.h"
#include "ui/MainWindow.h"
#include "ui/SmsSettingsWindow.h"
#ifdef VIGILUX_HAVE_KEYRING
#include "platform/QtKeyring.h"
#endif
#include "core/IniLocation.h"
#include "core/ProgramFolders.h"
#include "platform/DesktopScreenSaverInhibitor.h"
#include "platform/DesktopUrlOpener.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/QtProcesses.h"
#include "platform/QtSoundOutput.h"
#include "platform/QtTranslation.h"
#include "platform/QtTrayBackend.h"
#include "platform/SystemClock.h"
#include "resources/Pictures.h"
#include "video/CaptureCommands.h"
#include "video/CaptureDeviceFactory.h"
#include "video/CaptureSource.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMediaDevices>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace vigilux;

#ifndef VIGILUX_INSTALLED_DATA
#define VIGILUX_INSTALLED_DATA ""
#endif

namespace {
// The SMS window alone runs no capture; its pause requests go nowhere.
class NoCapture final : public video::CaptureCommands {
public:
    void chooseFormat() override {}
    void chooseSource() override {}
    bool setResolution(qint16, qint16, bool) override { return false; }
    void pausePreview(bool) override {}
};
} // namespace

int main(int argc, char* argv[]) {
    // Replay runs without any window, so it must start before QApplication.
    if (argc > 1 && qstrcmp(argv[1], "--replay") == 0) {
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return replay::runReplay(args, QStringLiteral(VIGILUX_INSTALLED_DATA));
    }
#ifdef __GLIBC__
    // Frame-sized buffers (saved pictures, a clip's encoder) come and go
    // with events; served from the heap they would hold it at its peak for
    // the rest of the day. A fixed threshold keeps them in mappings of their
    // own, given back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vigilux"));
    QApplication::setApplicationVersion(QStringLiteral("2.0 beta"));
    // Every window, dialogs included, and the tray show the program icon.
    QApplication::setWindowIcon(resources::Pictures::programIcon());
    // Message-box buttons and file dialogs in the program's language.
    platform::QtTranslation::installRussian();
    // The program lives on in the tray with no window shown; only the exit
    // command ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vigilux: наблюдение с веб-камеры"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("demo"), QStringLiteral("Watch the built-in demo scene.")},
        {QStringLiteral("video"), QStringLiteral("Play a video file as the camera."),
         QStringLiteral("file")},
        {QStringLiteral("camera"), QStringLiteral("Use camera number N (0 is the first)."),
         QStringLiteral("N")},
        {QStringLiteral("url"),
         QStringLiteral("Watch a network camera (rtsp://, rtsps://, http://, https://)."),
         QStringLiteral("address")},
        {QStringLiteral("update-url"), QStringLiteral("Base address of the update check."),
         QStringLiteral("url")},
    });
    // Opens the SMS window on its own, for trying the gateway by hand; no
    // menu leads there.
    QCommandLineOption smsOptions(QStringLiteral("sms-options"),
                                  QStringLiteral("Open only the SMS notification window."));
    smsOptions.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(smsOptions);
    parser.process(application);

    QString sourceError;
    const auto chosen =
        video::CaptureSource::fromArguments(QApplication::arguments(), &sourceError);
    if (!sourceError.isEmpty()) {
        std::fprintf(stderr, "vigilux: %s\n", qPrintable(sourceError));
        return 2;
    }
    const video::CaptureSource source = chosen ? *chosen : video::defaultCaptureSource();
    // The address is read: from now on the process list shows no password.
    video::CaptureSource::maskPasswordsInArguments(argc, argv);

    const core::ProgramFolders folders = core::ProgramFolders::locate(
        QApplication::applicationDirPath(), QStringLiteral(VIGILUX_INSTALLED_DATA));
    // An installed copy cannot, and should not, write beside itself.
    const core::IniLocation ini = folders.installed ? core::IniLocation::userFolder()
                                                    : core::IniLocation::choose(folders.program);

    platform::SystemClock clock;
    platform::QtDialogs dialogs;
    platform::QtTrayBackend tray;
    platform::QtSoundOutput sound;
    platform::QtProcesses processes;
    platform::DesktopUrlOpener urls;
    AppContext context(clock, dialogs, folders.program);
    context.dataFolder = folders.data;
    context.settingsFolder = ini.folder;

    if (parser.isSet(smsOptions)) {
        NoCapture noCapture;
        ui::SmsSettingsWindow window(context, noCapture, urls);
        window.exec();
        return 0;
    }

    // Outlives the window, which gives the inhibition back at exit.
    platform::DesktopScreenSaverInhibitor screenSaver;
#ifdef VIGILUX_HAVE_KEYRING
    // Outlives the window, whose notification settings ask it.
    platform::QtKeyring keyring;
#endif
    ui::MainWindow main(
        context, ui::MainWindow::Services{
                     tray,
                     sound,
                     processes,
                     urls,
                     source,
                     [](const video::CaptureSource& s) { return video::createCaptureDevice(s); },
                     [] { return video::cameraDescriptions(); },
                     // Qt's tray is of the current generation.
                     [] { return 6; },
                     app::UpdateChecker::endpointFor(QApplication::arguments()),
                 });
    app::Lifecycle lifecycle(
        context, main, main,
        platform::InstanceLock::defaultPath(QApplication::applicationFilePath()), ini.filePath(),
        ini.fellBack, ini.startWarning());
    main.setOptions(&lifecycle.options());
    // A source on the command line is for this run; otherwise the stored one.
    main.useStoredSource(!chosen);
    main.setScreenSaverInhibitor(&screenSaver);
#ifdef VIGILUX_HAVE_KEYRING
    main.setKeyring(&keyring);
#endif
    QObject::connect(&main, &ui::MainWindow::splashEnded, [&] { lifecycle.splashEnded(); });
    // A camera plugged in later is picked up without the user.
    QMediaDevices devices;
    QObject::connect(&devices, &QMediaDevices::videoInputsChanged,
                     [&] { main.capture().onCamerasChanged(); });
    QObject::connect(&main, &ui::MainWindow::unloadRequested, [&] { lifecycle.unload(); });

    if (!lifecycle.start())
        return 0;
    return QApplication::exec();
}
