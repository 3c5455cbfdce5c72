#include "ui/MainWindow.h"

#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "controls/SizeGrip.h"
#include "controls/TitleBarButton.h"
#include "core/AppContext.h"
#include "pipeline/EventRecovery.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "ui/AlarmDispatcher.h"
#include "ui/BlackPictureNotice.h"
#include "ui/CameraHealthWiring.h"
#include "ui/MainWindowDialogs.h"
#include "ui/RecordingIndicator.h"
#include "ui/SavedMark.h"
#include "ui/StatusLabel.h"
#include "ui/StatusLine.h"
#include "ui/WatchMode.h"
#include "video/SourceOptions.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace vigilux::ui {

namespace {
const QColor Panel(234, 234, 234);
}

MainWindow::MainWindow(AppContext& context, Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_context(context)
    , m_services(std::move(services))
    , m_sound(m_services.sound)
    , m_quiet(context.clock)
    , m_tray(context, m_services.tray, m_services.shellVersion, m_quiet, *this,
             [this](const QString& text) { showStatus(text); })
    , m_uploads(context,
                [this](const QString& text) {
                    m_status->showDelivery(StatusLine::Channel::Ftp, text,
                                           text.startsWith(QStringLiteral("Ошибка")));
                })
    // Every text of the notification queue reports a problem.
    , m_notify(context,
               [this](const QString& text) {
                   m_status->showDelivery(StatusLine::Channel::Notify, text, true);
               })
    , m_lastCheck(context.ini)
    , m_updates(m_lastCheck, context.clock, context.dialogs, m_services.urls,
                context.settingsFolder,
                m_services.updateEndpoint.isValid() ? m_services.updateEndpoint
                                                    : app::UpdateChecker::defaultEndpoint()) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Vigilux"));
    resize(DesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_captureStartTimer.setObjectName(QStringLiteral("captureStartTimer"));
    m_captureStartTimer.setInterval(500);
    connect(&m_captureStartTimer, &QTimer::timeout, this, &MainWindow::onCaptureStartTimeout);

    // The picture first: everything else sits above it.
    m_capture = new ui::CaptureControl(m_context, *this, m_services.source,
                                       m_services.deviceFactory, m_services.cameras, this);
    m_record =
        new RecordingIndicator(m_context, m_tray.icon(), IdleTrayIcon, WatchingTrayIcon, this);
    m_layout = std::make_unique<MainWindowLayout>(*this, *m_capture, *m_record, m_services.urls);
    m_record->stop();
    m_status = std::make_unique<StatusLine>(m_layout->statusLabel());
    connect(&m_updates, &app::UpdateChecker::statusText, this, &MainWindow::showPassingStatus);
    connect(&m_updates, &app::UpdateChecker::repaintMain, this, [this] { m_status->repaintNow(); });

    using controls::TitleBarButton;
    connect(&m_layout->closeButton(), &TitleBarButton::clicked, this, &MainWindow::exitProgram);
    connect(&m_layout->hideButton(), &TitleBarButton::clicked, this, &MainWindow::onHideClicked);
    connect(&m_layout->maximizeButton(), &TitleBarButton::clicked, this,
            &MainWindow::onMaximizeClicked);
    for (int i = 0; i < MainWindowLayout::ButtonCount; ++i) {
        const auto which = static_cast<Button>(i);
        connect(&m_layout->button(which), &controls::PushButton::clicked, this,
                [this, which] { onButtonClicked(which); });
    }

    m_alarms = std::make_unique<AlarmDispatcher>(
        m_context, AlarmDispatcher::Parts{*m_capture, *m_layout, *m_status, m_sound, m_tray.icon(),
                                          m_services.processes, m_quiet});
    m_alarms->follow();
    // Saved pictures and clips go to the upload queue, the "saved" mark and
    // the save sound; a save folder that is gone ends watching.
    pipeline::WatchPipeline& watch = m_capture->pipeline();
    m_uploads.follow(watch, m_tray.icon());
    SavedMark& mark = m_layout->savedMark();
    connect(&watch, &pipeline::WatchPipeline::savingStarted, &mark, &SavedMark::showNow);
    connect(&watch, &pipeline::WatchPipeline::savingFinished, &mark, &SavedMark::startHideTimer);
    connect(&watch, &pipeline::WatchPipeline::soundRequested, this,
            [this](const QString& path) { m_sound.playFile(path); });
    connect(&watch, &pipeline::WatchPipeline::watchingMustStop, this, &MainWindow::toggleWatching);
    connect(&watch, &pipeline::WatchPipeline::status, this, &MainWindow::showStatus);
    m_watch = std::make_unique<WatchMode>(
        m_context, WatchMode::Parts{*m_capture, *m_layout, m_tray, *m_status, *m_record});
    // The phone's web page: nothing runs until the settings switch it on.
    m_remote = std::make_unique<RemoteViewWiring>(
        m_context, RemoteViewWiring::Parts{
                       *m_capture, m_quiet, m_uploads.queue(), m_notify.notifications(),
                       [this] { onButtonClicked(Button::Watch); }, [this] { return lastPercent(); },
                       [this](const QString& text) { showStatus(text); }});
    m_remote->follow(eventTracker());
    m_dialogs = std::make_unique<MainWindowDialogs>(
        m_context,
        MainWindowDialogs::Parts{*this, *this, *m_capture, *m_layout, *m_record, m_uploads,
                                 m_notify, *m_remote, m_updates, m_services.urls});

    m_tray.buildMenu(
        *m_layout, [this](Button which) { onButtonClicked(which); }, [this] { showMain(); });
    setWindowIcon(resources::Pictures::programIcon());

    m_tray.follow(eventTracker());
    // Messages on the user's phone, one pair per event, quiet with the other
    // alarm actions.
    m_notify.follow(watch, m_quiet);

    // The camera's health: its failures logged, shown and sent, for any source.
    m_cameraHealth = std::make_unique<CameraHealthWiring>(
        m_context, CameraHealthWiring::Sinks{
                       [this](const QString& text) { showStatus(text); },
                       [this](const QString& title, const QString& text, int flags) {
                           if (m_tray.icon().isShown())
                               m_tray.icon().showBalloon(title, text, flags);
                       },
                       [this](const QString& subject, const QString& text) {
                           m_notify.notifications().cameraAlert(subject, text);
                       },
                       [this] { return m_capture->source().describe(); },
                   });
    m_cameraHealth->follow(m_capture->health());
    // A source chosen in the dialog is the next run's too.
    connect(m_capture, &CaptureControl::sourceChosen, this,
            [this](const video::CaptureSource& source) { sourceOptions().save(source); });
}

video::SourceOptions& MainWindow::sourceOptions() {
    if (!m_sourceOptions) {
        m_sourceOptions = std::make_unique<video::SourceOptions>(m_context.ini, m_keyring);
        connect(m_sourceOptions.get(), &video::SourceOptions::loaded, this,
                [this](const video::CaptureSource& source, const QString& problem) {
                    m_capture->useSource(source);
                    m_capture->startCapture();
                    if (!problem.isEmpty())
                        showStatus(QLatin1Char(' ') + problem);
                });
    }
    return *m_sourceOptions;
}

MainWindow::~MainWindow() {
    // The server's thread reads what this window publishes: it ends first.
    m_remote->stop();
    // Watching ends while everything that hears of it is still here (an open
    // event's end is logged and its last picture and clip announced).
    m_capture->pipeline().stop();
    // The capture control (a child) outlives the queue by a moment.
    m_uploads.detach();
    // The tray icon must not outlive the window it stands for.
    if (m_tray.icon().isShown())
        m_tray.icon().remove();
}

void MainWindow::setOptions(core::SettingsStorage* options) {
    m_dialogs->setOptions(options);
}

void MainWindow::setScreenSaverInhibitor(platform::ScreenSaverInhibitor* inhibitor) {
    m_watch->setScreenSaverInhibitor(inhibitor);
}

void MainWindow::setKeyring(platform::Keyring* keyring) {
    m_notify.notifications().setKeyring(keyring);
    m_keyring = keyring;
}

void MainWindow::setDetectorValue(core::DetectorValue which, qint32 value) {
    // The window ranges keep values in 16 bits; a value from elsewhere is
    // held there rather than wrapped.
    const auto to16 = [](qint32 v) { return static_cast<qint16>(std::clamp(v, -32768, 32767)); };
    switch (which) {
    case core::IntervalValue:
        m_capture->setDetectorInterval(to16(value));
        m_layout->label(Label::Interval).setText(QString::number(value));
        break;
    case core::NoiseValue:
        m_capture->setNoiseTolerance(to16(value));
        break;
    case core::SimilarityValue:
        m_capture->setSimilarityThreshold(to16(100 - value));
        m_layout->label(Label::Threshold).setText(QString::number(value) + QLatin1Char('%'));
        m_capture->setLevelMaximum(100 - value);
        break;
    }
}

// ---- start-up and shutdown -----------------------------------------------

void MainWindow::hideMain() {
    hide();
}

void MainWindow::placeBorderLines() {
    m_layout->placeBorderLines();
    update();
}

void MainWindow::makeTopmost() {
    platform::makeTopmost(*this);
}

void MainWindow::createTray() {}

void MainWindow::showSplash() {
    m_splash = new SplashWindow();
    connect(m_splash, &SplashWindow::finished, this, &MainWindow::splashEnded);
    m_splash->show();
}

void MainWindow::startCapture() {
    // The settings are loaded by now, so the queue finds its journal.
    m_notify.start();
    if (m_useStoredSource && sourceOptions().hasStoredSource()) {
        // Capture starts once the stored source is in, password included.
        sourceOptions().load();
        return;
    }
    m_capture->startCapture();
    m_remote->apply();
}

void MainWindow::setLabelTips(const QStringList& tips) {
    for (int i = 0; i < MainWindowLayout::LabelCount && i < tips.size(); ++i)
        m_layout->label(static_cast<Label>(i)).setTip(tips.at(i));
}

void MainWindow::installWindowProc() {
    setMinimumSize(MinimumSize);
}

void MainWindow::restoreUploads() {
    m_uploads.restore();
    finishInterruptedEvents();
}

void MainWindow::finishInterruptedEvents() {
    // What a kill or a power cut left open is logged and sent before watching
    // can start, and only then does the pipeline journal anew.
    const QString ini = m_context.ini.fileName();
    const QString folder = ini.isEmpty() ? m_context.programFolder : QFileInfo(ini).absolutePath();
    const QString journal = QDir(folder).filePath(pipeline::EventJournal::fileName());
    pipeline::EventRecovery recovery(journal, m_context.settings.savePath,
                                     [this](const QString& text) { showStatus(text); });
    recovery.run([this](const pipeline::RecoveredEvent& r) {
        if (m_context.settings.uploadClips)
            for (const QString& clip : r.clips)
                m_uploads.queue().enqueueSaved(clip);
        m_notify.notifications().finishInterrupted(r.event, r.loggedNow, r.clips);
    });
    m_capture->pipeline().setEventJournal(journal);
}

void MainWindow::showSettingsFolderNote(const QString& iniPath) {
    m_status->showNote(
        QStringLiteral(" Папка программы закрыта для записи, настройки хранятся в ") +
        QDir::toNativeSeparators(iniPath));
}

void MainWindow::showMain() {
    show();
    raise();
    activateWindow();
}

void MainWindow::armUpdateCheck() {
    m_updates.delayTimer().start();
}

void MainWindow::startBlackScreenCheck() {
    m_capture->startBlackScreenCheck();
}

void MainWindow::stopCapture() {
    m_remote->stop();
    // An event still open at exit is ended and logged, its clip closed.
    m_capture->pipeline().stop();
    m_capture->stopCapture();
}

void MainWindow::restoreWindowProc() {
    setMinimumSize(0, 0);
}

void MainWindow::unloadAll() {
    app::unloadAll(m_forms);
}

void MainWindow::exitProgram() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_watch->releaseScreen();
    emit unloadRequested();
    QCoreApplication::quit();
}

void MainWindow::toggleWatching() {
    m_watch->toggle();
}

// ---- the capture control's signals ----------------------------------------

void MainWindow::onAlarm(bool value) {
    m_alarms->onAlarm(value);
}

void MainWindow::onSimilarity(qint32 value) {
    m_alarms->onSimilarity(value);
}

void MainWindow::onSpeed(qint16 value) {
    m_alarms->onSpeed(value);
}

void MainWindow::onImageFormat(const QString& value) {
    m_alarms->onImageFormat(value);
}

qint32 MainWindow::lastPercent() const {
    return m_alarms->lastPercent();
}

// ---- CaptureControlHost ------------------------------------------------------------

void MainWindow::setCaptureButtonsEnabled(bool enabled) {
    m_watch->setCaptureButtonsEnabled(enabled);
}

QString MainWindow::watchingStatus() const {
    return m_watch->status();
}

void MainWindow::showStatus(const QString& text) {
    m_status->show(text);
}

void MainWindow::showPassingStatus(const QString& text) {
    // The automatic update check's texts do not push a note away.
    m_status->showPassing(text);
}

void MainWindow::showBlackPicture() {
    m_layout->blackPicture().show();
    m_layout->blackPicture().raise();
}

void MainWindow::onSavedMarkTimeout() {
    m_layout->savedMark().onHideTimeout();
}

QTimer& MainWindow::savedMarkTimer() {
    return m_layout->savedMark().hideTimer();
}

// ---- commands --------------------------------------------------------------

void MainWindow::onButtonClicked(Button which) {
    // A greyed button's command also comes from the tray menu's item and
    // from tests; it is refused the same way.
    const bool enabled = m_layout->button(which).isEnabled();
    switch (which) {
    case Button::Snapshot:
        if (enabled)
            m_capture->saveFrame();
        break;
    case Button::Watch:
        if (enabled)
            toggleWatching();
        break;
    case Button::DetectorSettings:
        if (enabled)
            m_dialogs->openDetectorSettings();
        break;
    case Button::ProgramOptions:
        if (enabled)
            m_dialogs->openProgramOptions();
        break;
    case Button::FtpSettings:
        m_dialogs->openFtpSettings();
        break;
    case Button::Exit:
        exitProgram();
        break;
    case Button::About:
        m_dialogs->openAbout();
        break;
    case Button::SmsSettings:
        break;
    }
}

void MainWindow::onHideClicked() {
    hideToTray();
}

void MainWindow::onMaximizeClicked() {
    if (isMinimized())
        return;
    if (isMaximized()) {
        m_layout->sizeGrip().show();
        showNormal();
        m_layout->maximizeButton().setRestoreGlyph(false);
    } else {
        m_layout->sizeGrip().hide();
        showMaximized();
        m_layout->maximizeButton().setRestoreGlyph(true);
    }
}

void MainWindow::hideToTray() {
    m_tray.hideWindow();
}

void MainWindow::showFromTray() {
    m_tray.showWindow();
}

// ---- layout ----------------------------------------------------------------

void MainWindow::onCaptureStartTimeout() {
    m_captureStartTimer.stop();
    m_capture->startCapture();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void MainWindow::layoutControls() {
    const QSize now = size();
    const QSize old = m_resizer.pass(now);
    if (!old.isValid() || old == now)
        return;
    // Every button but the never shown SMS one.
    const auto setButtonsVisible = [this](bool visible) {
        for (int i = 0; i < static_cast<int>(Button::SmsSettings); ++i)
            m_layout->button(static_cast<Button>(i)).setVisible(visible);
    };
    setButtonsVisible(false);
    // Capture stops while the size changes and restarts once, 500 ms after
    // the last step.
    m_capture->stopCapture();
    m_captureStartTimer.stop();
    m_layout->resize(old, now);
    m_captureStartTimer.start();
    setButtonsVisible(true);
    update();
}

// ---- painting and input -------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close from outside (window manager, Alt+F4) is the exit command;
    // during the exit the shutdown closes this window like any other.
    if (!m_exiting)
        exitProgram();
    event->accept();
}

} // namespace vigilux::ui
