#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/AlarmActions.h"
#include "app/EnabledMirror.h"
#include "app/NotifySettingsPage.h"
#include "app/RecordingIndicator.h"
#include "app/StatusLabel.h"
#include "capture/MotionLevelBar.h"
#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "controls/SizeGrip.h"
#include "controls/TitleBarButton.h"
#include "core/AppContext.h"
#include "core/CalibrationTarget.h"
#include "net/FtpSettingsWindow.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "platform/ScreenSaverInhibitor.h"
#include "platform/TrayBackend.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "settings/DetectorSettingsWindow.h"
#include "settings/NotifyOptions.h"
#include "settings/ProgramOptionsWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace vigilux::app {

namespace {

constexpr int HeaderHeight = 24;
constexpr int ButtonHeight = 26;
constexpr int ButtonWidth = 131;
constexpr QSize LabelSize(56, 16);
const QColor Panel(234, 234, 234);
const QColor Border(120, 128, 140);
const QString CrLf = QStringLiteral("\r\n");

// Paints one piece of the header.
class HeaderPiece final : public QWidget {
public:
    HeaderPiece(int index, QWidget* parent)
        : QWidget(parent)
        , m_index(index) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        resources::Pictures::paint(p, QStringLiteral("header-band"), rect());
        if (m_index == 1) {
            QFont f = font();
            f.setBold(true);
            p.setFont(f);
            p.setPen(QColor(236, 240, 246));
            p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       QStringLiteral("Vigilux"));
        } else if (m_index == 0) {
            resources::Pictures::paint(
                p, QStringLiteral("header-mark"),
                QRectF(0, (height() - HeaderHeight) / 2.0, 28, HeaderHeight));
        }
    }

private:
    int m_index;
};

// The "saved" picture: a small floppy-like mark.
class SavedMark final : public QWidget {
public:
    explicit SavedMark(QWidget* parent)
        : QWidget(parent) {
        setFixedSize(18, 18);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        resources::Pictures::paint(p, QStringLiteral("saved"), rect());
    }
};

// The program icon, or its red-lens phase of the recording blink.
QIcon trayIcon(bool alternate) {
    return alternate ? resources::Pictures::icon(QStringLiteral("tray-alternate"))
                     : resources::Pictures::programIcon();
}

} // namespace

const QColor MainWindow::LabelGrey(234, 234, 234); // 15395562
const QColor MainWindow::AlarmRed(255, 0, 0);      // 255
const QString MainWindow::BlackPictureHelpUrl = QStringLiteral("http://www.vigilux.ru/blackwebcam");

MainWindow::MainWindow(AppContext& context, Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_context(context)
    , m_services(std::move(services))
    , m_sound(m_services.sound)
    , m_tray(m_services.tray, m_services.shellVersion)
    , m_queue(context, m_ftp, [this](const QString& text) { showStatus(text); })
    , m_notify(context, [this](const QString& text) { showStatus(text); })
    , m_lastCheck(context.ini)
    , m_updates(m_lastCheck, context.clock, context.dialogs, m_services.urls,
                context.settingsFolder,
                m_services.updateEndpoint.isValid() ? m_services.updateEndpoint
                                                    : UpdateChecker::defaultEndpoint())
    , m_quiet(context.clock) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Vigilux"));
    resize(DesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_tray.registerIcon(IdleTrayIcon, trayIcon(false));
    m_tray.registerIcon(WatchingTrayIcon, trayIcon(true));
    connect(&m_tray, &TrayIcon::activated, this, &MainWindow::onTrayActivated);

    m_captureStartTimer.setObjectName(QStringLiteral("captureStartTimer"));
    m_captureStartTimer.setInterval(500);
    connect(&m_captureStartTimer, &QTimer::timeout, this, &MainWindow::onCaptureStartTimeout);
    m_savedMarkTimer.setObjectName(QStringLiteral("savedMarkTimer"));
    m_savedMarkTimer.setInterval(500);
    connect(&m_savedMarkTimer, &QTimer::timeout, this, &MainWindow::onSavedMarkTimeout);

    connect(&m_updates, &UpdateChecker::statusText, this, &MainWindow::showPassingStatus);
    connect(&m_updates, &UpdateChecker::repaintMain, this, [this] { m_statusLine->repaint(); });

    buildControls();
    buildTrayMenu();
    setWindowIcon(trayIcon(false));

    connect(&eventTracker(), &capture::EventTracker::eventStarted, this,
            &MainWindow::refreshTrayTip);
    // Messages on the user's phone, one pair per event, quiet with the other
    // alarm actions.
    m_notify.follow(eventTracker(), [this] { return actionMute().isMuted(); });
    connect(&m_quiet, &QuietTime::changed, this, &MainWindow::onQuietTimeChanged);
}

MainWindow::~MainWindow() {
    // The capture control (a child) outlives the queue by a moment.
    m_capture->saving().setDeletionGuard(nullptr);
    // The tray icon must not outlive the window it stands for.
    if (m_tray.isShown())
        m_tray.remove();
}

void MainWindow::buildControls() {
    const int w = width();
    const int h = height();

    for (int i = 0; i < 3; ++i) {
        m_header[static_cast<size_t>(i)] = new HeaderPiece(i, this);
        m_header[static_cast<size_t>(i)]->setObjectName(QStringLiteral("header%1").arg(i));
        m_header[static_cast<size_t>(i)]->installEventFilter(this);
    }
    m_header[0]->setGeometry(0, 0, w, HeaderHeight);
    m_header[1]->setGeometry(28, 0, w - 28, HeaderHeight);
    m_header[2]->setGeometry(w - 80, 0, 80, HeaderHeight);

    using controls::TitleBarButton;
    m_closeButton = new TitleBarButton(TitleBarButton::Kind::Close, this);
    m_hideButton = new TitleBarButton(TitleBarButton::Kind::HideToTray, this);
    m_maximizeButton = new TitleBarButton(TitleBarButton::Kind::MaximizeRestore, this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_hideButton->setObjectName(QStringLiteral("hideButton"));
    m_maximizeButton->setObjectName(QStringLiteral("maximizeButton"));
    m_hideButton->setNoHoverWhileDisabled(true);
    m_maximizeButton->setNoHoverWhileDisabled(true);
    m_closeButton->move(w - 26, 3);
    m_hideButton->move(w - 71, 3);
    m_maximizeButton->move(w - 48, 3);
    connect(m_closeButton, &TitleBarButton::clicked, this, &MainWindow::exitProgram);
    connect(m_hideButton, &TitleBarButton::clicked, this, &MainWindow::onHideClicked);
    connect(m_maximizeButton, &TitleBarButton::clicked, this, &MainWindow::onMaximizeClicked);

    m_capture = new capture::CaptureControl(m_context, *this, m_services.source,
                                            m_services.deviceFactory, m_services.cameras, this);
    m_capture->setGeometry(8, 30, w - 152, h - 59);
    connect(m_capture, &capture::CaptureControl::alarm, this, &MainWindow::onAlarm);
    connect(m_capture, &capture::CaptureControl::similarityChanged, this,
            &MainWindow::onSimilarity);
    connect(m_capture, &capture::CaptureControl::speedChanged, this, &MainWindow::onSpeed);
    connect(m_capture, &capture::CaptureControl::imageFormatChanged, this,
            &MainWindow::onImageFormat);
    connect(m_capture, &capture::CaptureControl::frameSaved, this, &MainWindow::onFrameSaved);
    // A finished event clip follows its event's frames through the same queue.
    connect(m_capture, &capture::CaptureControl::clipSaved, this, [this](const QString& path) {
        if (m_context.settings.uploadClips)
            m_queue.enqueueSaved(path);
    });
    connect(m_capture, &capture::CaptureControl::clipSaved, &m_notify,
            &Notifications::clipFinished);
    // Rotation keeps a picture that still waits for upload.
    m_capture->saving().setDeletionGuard(&m_queue);
    connect(&m_queue, &UploadQueue::waitingChanged, &m_tray,
            [this](int count) { m_tray.setToolTipNote(UploadQueue::waitingNote(count)); });

    const QStringList captions{
        QStringLiteral("Сделать снимок"),      QStringLiteral("Автосъемка вкл."),
        QStringLiteral("Настройки детектора"), QStringLiteral("Настройки программы"),
        QStringLiteral("Загрузка на FTP"),     QStringLiteral("Выход"),
        QStringLiteral("О программе"),         QStringLiteral("СМС-уведомления")};
    for (int i = 0; i < 8; ++i) {
        auto* button = new controls::PushButton(captions.at(i), this);
        button->setObjectName(QStringLiteral("button%1").arg(i));
        button->setButtonStyle(3);
        // The longest captions fit on one line.
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        button->setFont(small);
        const int top = 32 + i * (ButtonHeight + 5) + (i >= 5 ? 8 : 0);
        button->setGeometry(w - 137, top, ButtonWidth, ButtonHeight);
        connect(button, &controls::PushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons[static_cast<size_t>(i)] = button;
    }
    m_buttons[7]->hide(); // the SMS window is not reached from here
    m_buttons[2]->setEnabled(false);

    for (int i = 0; i < 6; ++i) {
        auto* label = new controls::OverlayLabel(this);
        label->setObjectName(QStringLiteral("overlayLabel%1").arg(i));
        label->resize(LabelSize);
        label->setPanelColor(LabelGrey);
        label->hide();
        m_labels[static_cast<size_t>(i)] = label;
    }
    // Each label is as wide as the longest value it shows (five-digit rates
    // and counts, a 4K resolution), never narrower than designed.
    const std::array<QString, 6> longest{QStringLiteral("FPS: 99999"), QStringLiteral("32767"),
                                         QStringLiteral("4096x2160"),  QStringLiteral("100%"),
                                         QStringLiteral("100%"),       QStringLiteral("32767")};
    for (size_t i = 0; i < 6; ++i) {
        QLabel* text = m_labels[i]->textLabel();
        const QMargins margins = text->contentsMargins();
        const int needed = text->fontMetrics().horizontalAdvance(longest.at(i)) + margins.left() +
                           margins.right() + 4;
        m_labels[i]->resize(std::max(LabelSize.width(), needed), LabelSize.height());
    }
    m_labels[0]->move(12, h - 45);
    m_labels[4]->move(12, 34);
    m_labels[5]->move(m_labels[4]->geometry().right() + 5, 34);
    placeBottomLabels();

    m_statusLine = new StatusLabel(this);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setGeometry(6, h - 19, w - 25, 16);

    m_savedMark = new SavedMark(this);
    m_savedMark->setObjectName(QStringLiteral("savedMark"));
    m_savedMark->move(w - 178, h - 77);
    m_savedMark->hide();

    m_record = new RecordingIndicator(m_context, m_tray, IdleTrayIcon, WatchingTrayIcon, this);
    m_record->move(w - 167, 6);
    m_record->stop();

    m_blackPicture = new QWidget(this);
    m_blackPicture->setObjectName(QStringLiteral("blackPicture"));
    m_blackPicture->setAutoFillBackground(true);
    auto* question = new QLabel(QStringLiteral("Вы что-нибудь видите?"), m_blackPicture);
    question->setObjectName(QStringLiteral("question"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    auto* helpLink = new QLabel(QStringLiteral("<a href=\"help\">Изображения нет. Только черный "
                                               "прямоугольник</a>"),
                                m_blackPicture);
    helpLink->setObjectName(QStringLiteral("helpLink"));
    connect(helpLink, &QLabel::linkActivated, this,
            [this] { m_services.urls.open(QUrl(BlackPictureHelpUrl)); });
    auto* darkLink = new QLabel(
        QStringLiteral("<a href=\"ok\">Все нормально, просто сейчас темно</a>"), m_blackPicture);
    darkLink->setObjectName(QStringLiteral("darkLink"));
    connect(darkLink, &QLabel::linkActivated, m_blackPicture, &QWidget::hide);
    // The lines wrap rather than lose their ends in a narrow picture; the
    // notice grows to hold them.
    constexpr int NoticeWidth = 300;
    constexpr int Pad = 10;
    int y = 8;
    for (QLabel* line : {question, helpLink, darkLink}) {
        line->setWordWrap(true);
        const int height = std::max(20, line->heightForWidth(NoticeWidth - 2 * Pad));
        line->setGeometry(Pad, y, NoticeWidth - 2 * Pad, height);
        y += height + 6;
    }
    m_blackPicture->setGeometry(30, 110, NoticeWidth, y + 2);
    m_blackPicture->hide();

    for (int i = 0; i < 4; ++i) {
        auto* line = new QWidget(this);
        line->setObjectName(QStringLiteral("borderLine%1").arg(i));
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, Border);
        line->setPalette(pal);
        m_borderLines[static_cast<size_t>(i)] = line;
    }

    m_sizeGrip = new controls::SizeGrip(this);
    m_sizeGrip->setObjectName(QStringLiteral("sizeGrip"));
}

void MainWindow::buildTrayMenu() {
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_openAction =
        m_trayMenu->addAction(QStringLiteral("Открыть программу"), this, &MainWindow::showFromTray);
    m_trayMenu->addSeparator();
    m_snapshotAction = m_trayMenu->addAction(QStringLiteral("Сделать снимок"), this,
                                             [this] { onButtonClicked(0); });
    m_watchAction = m_trayMenu->addAction(QStringLiteral("Автосъемка вкл"), this,
                                          [this] { onButtonClicked(1); });
    m_detectorAction = m_trayMenu->addAction(QStringLiteral("Настройки детектора"), this,
                                             [this] { onButtonClicked(2); });
    m_optionsAction = m_trayMenu->addAction(QStringLiteral("Настройки программы"), this,
                                            [this] { onButtonClicked(3); });
    // Each item is greyed exactly when its button is.
    const std::array<QAction*, 4> follow{m_snapshotAction, m_watchAction, m_detectorAction,
                                         m_optionsAction};
    for (int i = 0; i < 4; ++i)
        new EnabledMirror(button(i), *follow.at(static_cast<size_t>(i)));
    m_trayMenu->addSeparator();
    // The quiet time silences sound, balloon and program; watching goes on.
    m_muteActions[0] = m_trayMenu->addAction(QStringLiteral("Без оповещений 15 минут"), this,
                                             [this] { m_quiet.mute(ActionMute::Span::Minutes15); });
    m_muteActions[1] = m_trayMenu->addAction(QStringLiteral("Без оповещений 1 час"), this,
                                             [this] { m_quiet.mute(ActionMute::Span::Hour); });
    m_muteActions[2] =
        m_trayMenu->addAction(QStringLiteral("Без оповещений до отмены"), this,
                              [this] { m_quiet.mute(ActionMute::Span::UntilUnmuted); });
    m_muteActions[3] = m_trayMenu->addAction(QStringLiteral("Включить оповещения"), this,
                                             [this] { m_quiet.unmute(); });
    m_muteActions[3]->setEnabled(false);
    m_trayMenu->addSeparator();
    m_exitAction =
        m_trayMenu->addAction(QStringLiteral("Выход"), this, [this] { onButtonClicked(5); });
}

// ---- detector settings ---------------------------------------------------

void MainWindow::setDetectorValue(qint16 index, qint32 value) {
    // The window ranges keep values in 16 bits; a value from elsewhere is
    // held there rather than wrapped.
    const auto to16 = [](qint32 v) { return static_cast<qint16>(std::clamp(v, -32768, 32767)); };
    switch (index) {
    case 0:
        m_capture->setDetectorInterval(to16(value));
        label(1).setText(QString::number(value));
        break;
    case 1:
        m_capture->setNoiseTolerance(to16(value));
        break;
    case 2:
        m_capture->setSimilarityThreshold(to16(100 - value));
        label(4).setText(QString::number(value) + QLatin1Char('%'));
        m_capture->setLevelMaximum(100 - value);
        break;
    default:
        break;
    }
}

// ---- start-up and shutdown -----------------------------------------------

void MainWindow::hideMain() {
    hide();
}

void MainWindow::placeLine(int index) {
    const QLineF& l = m_borderGeometry[static_cast<size_t>(index)];
    const QRectF r = QRectF(l.p1(), l.p2()).normalized();
    m_borderLines[static_cast<size_t>(index)]->setGeometry(qRound(r.left()), qRound(r.top()),
                                                           std::max(1, qRound(r.width())),
                                                           std::max(1, qRound(r.height())));
}

void MainWindow::placeBorderLines() {
    // Left, right, bottom and top edges, one pixel wide.
    const double w = width();
    const double h = height();
    m_borderGeometry = {QLineF(0, 0, 0, h), QLineF(w - 1, 0, w - 1, h), QLineF(0, h - 1, w, h - 1),
                        QLineF(0, 0, w, 0)};
    for (int i = 0; i < 4; ++i)
        placeLine(i);
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
    m_capture->startCapture();
}

void MainWindow::setLabelTips(const QStringList& tips) {
    for (int i = 0; i < 6 && i < tips.size(); ++i)
        label(i).setTip(tips.at(i));
}

void MainWindow::installWindowProc() {
    setMinimumSize(MinimumSize);
}

void MainWindow::restoreUploads() {
    m_queue.restore();
}

void MainWindow::showSettingsFolderNote(const QString& iniPath) {
    showStatus(QStringLiteral(" Папка программы закрыта для записи, настройки хранятся в ") +
               QDir::toNativeSeparators(iniPath));
    m_noteStanding = true; // until the next text that matters
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
    // An event still open at exit is ended and logged.
    m_capture->events().stop();
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
    if (m_screenSaver)
        m_screenSaver->setInhibited(false);
    emit unloadRequested();
    QCoreApplication::quit();
}

// ---- watch mode -------------------------------------------------------------

void MainWindow::toggleWatching() {
    const bool on = !m_context.watching;
    if (on) {
        m_capture->setDetecting(true); // resets the alarm count
        m_capture->events().start();   // numbers events from 1
    } else {
        m_capture->setDetecting(false);
        m_capture->events().stop(); // an open event ends and is logged
    }
    m_context.watching = on;
    for (int i : {0, 1, 3, 4, 5})
        label(i).setVisible(on);
    if (on) {
        label(5).setText(QStringLiteral("0"));
        label(5).setTextColor(AlarmRed);
    }
    button(0).setEnabled(!on);
    button(2).setEnabled(on);
    button(3).setEnabled(!on);
    const QString caption =
        on ? QStringLiteral("Автосъемка выкл.") : QStringLiteral("Автосъемка вкл.");
    button(1).setCaption(caption);
    m_watchAction->setText(caption);
    showStatus(on ? watchingStatus() : QStringLiteral(" Автосъемка выключена"));
    if (on)
        m_record->start();
    else
        m_record->stop();
    refreshTrayTip();
    if (m_screenSaver)
        m_screenSaver->setInhibited(on && m_context.settings.blockScreenSaver);
}

// ---- the capture control's events -----------------------------------------

void MainWindow::onAlarm(bool value) {
    if (!value)
        return;
    label(3).setPanelColor(AlarmRed);
    if (m_context.calibrationPhase == 0) {
        if (m_context.detectorWindowShown)
            return;
        // Counted up to the largest 16-bit value, then held there.
        if (m_context.alarmCount < 32767)
            ++m_context.alarmCount;
        label(5).setText(QString::number(m_context.alarmCount));
    }
    if (m_context.detectorWindowShown)
        return;
    runAlarmActions();
}

void MainWindow::runAlarmActions() {
    const auto& s = m_context.settings;
    const bool startsEvent = m_capture->events().stepStartedEvent();
    const AlarmActions a =
        AlarmActions::forStep(s, startsEvent, m_quiet.isMuted(), m_context.inTray);
    if (a.sound)
        m_sound.playFile(s.alarmSoundPath);
    if (a.balloon) {
        const QString text =
            s.balloonPerEvent
                ? AlarmActions::eventBalloonText(eventTracker().current().number,
                                                 100 - m_lastPercent)
                : QStringLiteral("Программа обнаружила движение в наблюдаемой области. ") + CrLf +
                      QStringLiteral(
                          "Всего срабатываний детектора движения с начала наблюдения: ") +
                      QString::number(m_context.alarmCount) + CrLf +
                      QStringLiteral("Расхождение с предыдущим кадром: ") +
                      QString::number(100 - m_lastPercent) + QLatin1Char('%');
        m_tray.showBalloon(QStringLiteral("Обнаружено движение!"), text, 2);
    }
    if (a.program && !s.alarmProgramPath.isEmpty() &&
        QFileInfo(platform::CommandLine::parse(s.alarmProgramPath).program).isFile()) {
        if (s.waitForAlarmProgram) {
            const QString remembered = m_statusLine->text();
            showStatus(QStringLiteral("Ожидание завершения внешнего приложения..."));
            m_statusLine->repaint();
            m_services.processes.runAndWait(s.alarmProgramPath, 1);
            showStatus(remembered);
        } else {
            m_services.processes.start(s.alarmProgramPath);
        }
    }
}

void MainWindow::onSimilarity(qint32 value) {
    m_lastPercent = value;
    label(3).setPanelColor(LabelGrey);
    label(3).setText(QString::number(100 - value) + QLatin1Char('%'));
    if ((m_context.calibrationPhase == 2 || m_context.calibrationPhase == 3) &&
        m_context.calibration)
        m_context.calibration->similarityValue(value);
}

void MainWindow::onSpeed(qint16 value) {
    label(0).setText(QStringLiteral("FPS: ") + QString::number(value));
    if (m_context.calibrationPhase == 1 && m_context.calibration)
        m_context.calibration->speedValue(value);
}

void MainWindow::onImageFormat(const QString& value) {
    if (!label(2).isVisible())
        label(2).show();
    label(2).setText(value);
}

void MainWindow::onFrameSaved(const QString& path) {
    m_queue.enqueueSaved(path);
}

// ---- CaptureControlHost ------------------------------------------------------------

void MainWindow::setCaptureButtonsEnabled(bool enabled) {
    button(0).setEnabled(enabled && !m_context.watching);
    // Watching outlives a lost camera (capture reconnects by itself), so it
    // can still be switched off meanwhile.
    button(1).setEnabled(enabled || m_context.watching);
    if (m_context.watching)
        showStatus(watchingStatus());
}

QString MainWindow::watchingStatus() const {
    return m_capture != nullptr && m_capture->running()
               ? QStringLiteral(" Автосъемка включена")
               : QStringLiteral(" Автосъемка приостановлена: камера не подключена");
}

void MainWindow::showSavingIndicator() {
    m_savedMark->show();
    m_savedMark->repaint();
}

void MainWindow::startIndicatorHideTimer() {
    m_savedMarkTimer.start();
}

void MainWindow::playSound(const QString& path) {
    m_sound.playFile(path);
}

void MainWindow::showStatus(const QString& text) {
    m_noteStanding = false;
    m_statusLine->setText(text);
}

void MainWindow::showPassingStatus(const QString& text) {
    // The automatic update check's texts do not push a note away.
    if (!m_noteStanding)
        m_statusLine->setText(text);
}

void MainWindow::showBlackPicture() {
    m_blackPicture->show();
    m_blackPicture->raise();
}

void MainWindow::onSavedMarkTimeout() {
    m_savedMarkTimer.stop();
    m_savedMark->hide();
}

// ---- commands --------------------------------------------------------------

void MainWindow::onButtonClicked(int index) {
    switch (index) {
    case 0:
        if (button(0).isEnabled())
            m_capture->saveFrame();
        break;
    case 1:
        if (button(1).isEnabled())
            toggleWatching();
        break;
    case 2:
        if (button(2).isEnabled())
            openDetectorSettings();
        break;
    case 3:
        if (button(3).isEnabled())
            openProgramOptions();
        break;
    case 4:
        openFtpSettings();
        break;
    case 5:
        exitProgram();
        break;
    case 6:
        openAbout();
        break;
    default:
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
        m_sizeGrip->show();
        showNormal();
        m_maximizeButton->setRestoreGlyph(false);
    } else {
        m_sizeGrip->hide();
        showMaximized();
        m_maximizeButton->setRestoreGlyph(true);
    }
}

// ---- tray ------------------------------------------------------------------

void MainWindow::hideToTray() {
    if (!m_context.inTray) {
        // Without a notification area the window would be lost: stay.
        if (!m_tray.isAvailable()) {
            showStatus(QStringLiteral(" Область уведомлений недоступна: окно не скрыто"));
            return;
        }
        if (m_tray.ownerHandle() == 0)
            m_tray.setOwnerHandle(1);
        m_tray.setIcon(IdleTrayIcon);
        m_tray.setToolTipText(QStringLiteral("Vigilux"));
        m_eventTip = false;
        refreshTrayTip();
        m_tray.add();
        m_context.inTray = true;
        // The window stays alive (capture and timers run); it only leaves
        // the screen and the task bar.
        hide();
    }
    if (m_context.ini.read(QStringLiteral("FirstRun"), QString()).isEmpty()) {
        m_context.ini.write(QStringLiteral("False"), QStringLiteral("FirstRun"), QString());
        m_tray.showBalloon(QStringLiteral("Vigilux"),
                           QStringLiteral("Управление программой:") + CrLf +
                               QStringLiteral("Левая кнопка мыши - показать программу,") + CrLf +
                               QStringLiteral("Правая кнопка мыши - меню программы"),
                           1);
    }
}

void MainWindow::showFromTray() {
    if (!m_context.inTray)
        return;
    m_tray.remove();
    m_context.inTray = false;
    showMain();
}

void MainWindow::refreshTrayTip() {
    const int events = m_context.watching ? eventTracker().eventCount() : 0;
    const QString until = m_quiet.state().untilText();
    const bool eventTip = events > 0 || !until.isEmpty();
    // Without events or quiet time the tip stays what watch mode made it.
    if (!eventTip && !m_eventTip)
        return;
    m_eventTip = eventTip;
    m_tray.setToolTipText(AlarmActions::trayTip(m_context.watching, events, until));
    m_tray.modify();
}

void MainWindow::onQuietTimeChanged() {
    const bool muted = m_quiet.isMuted();
    m_muteActions[3]->setEnabled(muted);
    showStatus(m_quiet.statusText());
    refreshTrayTip();
}

void MainWindow::onTrayActivated(qint16 button) {
    if (button == 1)
        showFromTray();
    else if (button == 5)
        m_tray.popupMenu(m_trayMenu, m_openAction);
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
    const int W = now.width();
    const int H = now.height();
    for (int i = 0; i < 7; ++i)
        button(i).hide();
    for (int i = 0; i < 4; ++i) {
        m_borderGeometry[static_cast<size_t>(i)] =
            Resizer::scale(m_borderGeometry[static_cast<size_t>(i)], old, now);
        placeLine(i);
    }
    for (auto* b : m_buttons)
        b->move(W - 137, b->y());
    // Capture stops while the size changes and restarts once, 500 ms after
    // the last step.
    m_capture->stopCapture();
    m_captureStartTimer.stop();
    m_capture->resize(W - 152, H - 59);
    m_captureStartTimer.start();
    m_statusLine->setGeometry(m_statusLine->x(), H - 19, W - 25, m_statusLine->height());
    m_header[0]->resize(W - m_header[0]->x(), m_header[0]->height());
    m_header[1]->resize(W - m_header[1]->x(), m_header[1]->height());
    m_header[2]->move(W - m_header[2]->width(), m_header[2]->y());
    m_closeButton->move(W - 26, m_closeButton->y());
    m_hideButton->move(W - 71, m_hideButton->y());
    m_maximizeButton->move(W - 48, m_maximizeButton->y());
    m_record->move(W - 167, m_record->y());
    m_savedMark->move(W - 178, H - 77);
    label(0).move(label(0).x(), H - 45);
    placeBottomLabels();
    for (int i = 0; i < 7; ++i)
        button(i).show();
    update();
}

// The bottom row: rate and motion value from the left, resolution and
// preview interval ending at the picture's right edge.
void MainWindow::placeBottomLabels() {
    const int row = label(0).y();
    label(3).move(label(0).geometry().right() + 5, row);
    label(1).move(width() - 143 - label(1).width(), row);
    label(2).move(label(1).x() - 5 - label(2).width(), row);
}

// ---- windows -----------------------------------------------------------------

void MainWindow::openDetectorSettings() {
    if (!m_options)
        return;
    m_record->stopLit();
    m_context.detectorWindowShown = true;
    {
        settings::DetectorSettingsWindow window(m_context, *m_options, *this, this);
        window.exec();
    }
    m_context.detectorWindowShown = false;
    m_record->start();
}

void MainWindow::openProgramOptions() {
    if (!m_options)
        return;
    // After one of its capture buttons the window stays open without being
    // modal and deletes itself when it is closed.
    auto* window = new settings::ProgramOptionsWindow(
        m_context, *m_options, *m_capture, [this] { label(2).hide(); }, this);
    if (settings::NotifyOptions* notify = m_notify.options()) {
        window->addPage(
            new NotifySettingsPage(m_context, *notify, [this](net::NotifyChannel channel) {
                return m_notify.lastError(channel);
            }));
    }
    window->exec();
    if (!window->detached())
        delete window;
}

void MainWindow::openFtpSettings() {
    if (!m_options)
        return;
    net::FtpSettingsWindow window(
        m_context, [this] { m_options->saveFtp(); }, this, &m_queue);
    // New settings may be what a refused login or an outage waited for.
    const bool uploadWasOn = m_context.settings.ftpUpload;
    if (window.exec() == QDialog::Accepted)
        m_queue.settingsSaved(uploadWasOn);
}

void MainWindow::openAbout() {
    AboutWindow window(m_context, m_updates, m_services.urls, this);
    window.exec();
}

// ---- painting and input -------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The borderless window is dragged by its header.
    if (event->type() == QEvent::MouseButtonPress &&
        std::find(m_header.begin(), m_header.end(), watched) != m_header.end()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && windowHandle()) {
            windowHandle()->startSystemMove();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close from outside (window manager, Alt+F4) is the exit command;
    // during the exit the unload closes this window like any other.
    if (!m_exiting)
        exitProgram();
    event->accept();
}

} // namespace vigilux::app
