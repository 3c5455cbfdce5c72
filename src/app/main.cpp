#include "app/Main.h"
#include "app/Lifecycle.h"
#include "app/Replay.h"
#include "capture/CaptureCommands.h"
#include "net/SMSoptions.h"
#include "platform/DesktopUrlOpener.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/SystemClock.h"
#include "settings/AppContext.h"
#include "settings/IniLocation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

using namespace vigilux;

namespace {
// The SMS window alone runs no capture; its pause requests go nowhere.
class NoCapture final : public capture::CaptureCommands {
public:
    void WebcamFormat() override {}
    void WebcamOptions() override {}
    bool SetRes(qint16, qint16, bool) override { return false; }
    void PrePause(bool) override {}
};
} // namespace

int main(int argc, char* argv[]) {
    // Replay runs without any window, so it must start before QApplication.
    if (argc > 1 && qstrcmp(argv[1], "--replay") == 0) {
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return app::runReplay(args);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vigilux"));
    QApplication::setApplicationVersion(QStringLiteral("2.0 beta"));
    // The program lives on in the tray with no window shown; only the exit
    // command ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vigilux: наблюдение с веб-камеры"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Watch the built-in demo scene."));
    const QCommandLineOption video(QStringLiteral("video"),
                                   QStringLiteral("Play a video file as the camera."),
                                   QStringLiteral("file"));
    const QCommandLineOption camera(QStringLiteral("camera"),
                                    QStringLiteral("Use camera number N (0 is the first)."),
                                    QStringLiteral("N"));
    parser.addOptions({demo, video, camera});
    // Opens the SMS window on its own, for trying the gateway by hand; no
    // menu leads there.
    QCommandLineOption smsOptions(QStringLiteral("sms-options"),
                                  QStringLiteral("Open only the SMS notification window."));
    smsOptions.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(smsOptions);
    parser.process(application);

    const QString programFolder = QDir::cleanPath(QApplication::applicationDirPath());

    platform::SystemClock clock;
    platform::QtDialogs dialogs;
    AppContext context(clock, dialogs, programFolder);

    if (parser.isSet(smsOptions)) {
        NoCapture noCapture;
        platform::DesktopUrlOpener opener;
        net::SMSoptions window(context, noCapture, opener);
        window.exec();
        return 0;
    }

    app::Main main(context);
    app::Lifecycle lifecycle(
        context, main, main,
        platform::InstanceLock::defaultPath(QApplication::applicationFilePath()),
        programFolder + QStringLiteral("/options.ini"), false);
    QObject::connect(&main, &app::Main::SplashEnded, [&] { lifecycle.SplashEnded(); });
    QObject::connect(&main, &app::Main::UnloadRequested, [&] { lifecycle.Unload(); });

    if (!lifecycle.Start())
        return 0;
    return QApplication::exec();
}
