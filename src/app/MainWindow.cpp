#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/RecordingIndicator.h"
#include "capture/CalibrationTarget.h"
#include "capture/MotionLevelBar.h"
#include "controls/OverlayLabel.h"
#include "controls/SizeGrip.h"
#include "controls/TitleBarButton.h"
#include "controls/PushButton.h"
#include "net/FtpSettingsWindow.h"
#include "platform/Processes.h"
#include "platform/TrayBackend.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "settings/AppContext.h"
#include "settings/DetectorSettingsWindow.h"
#include "settings/ProgramOptionsWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLinearGradient>
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
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0.0, QColor(70, 92, 130));
        g.setColorAt(1.0, QColor(42, 58, 88));
        p.fillRect(rect(), g);
        if (m_index == 1) {
            QFont f = font();
            f.setBold(true);
            p.setFont(f);
            p.setPen(QColor(236, 240, 246));
            p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       QStringLiteral("Vigilux"));
        } else if (m_index == 0) {
            // The program's mark: a small lens.
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 234, 240));
            p.drawEllipse(QPointF(14, height() / 2.0), 8, 8);
            p.setBrush(QColor(120, 170, 230));
            p.drawEllipse(QPointF(14, height() / 2.0), 4, 4);
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
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(20, 60, 120));
        p.setBrush(QColor(60, 120, 200));
        p.drawRoundedRect(QRectF(1, 1, 16, 16), 2, 2);
        p.setBrush(QColor(235, 240, 248));
        p.drawRect(QRectF(4, 2, 10, 6));
        p.setBrush(QColor(20, 60, 120));
        p.drawRect(QRectF(5, 11, 8, 5));
    }
};

QIcon trayIcon(bool alternate) {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(42, 58, 88));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    p.setBrush(QColor(230, 234, 240));
    p.drawEllipse(QPointF(16, 16), 11, 11);
    p.setBrush(alternate ? QColor(235, 40, 30) : QColor(120, 170, 230));
    p.drawEllipse(QPointF(16, 16), 6, 6);
    return QIcon(pix);
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
    , m_lastCheck(context.ini)
    , m_updates(m_lastCheck, context.clock, context.dialogs, m_services.urls, context.settingsFolder,
                m_services.updateEndpoint.isValid() ? m_services.updateEndpoint
                                                    : UpdateChecker::defaultEndpoint()) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Vigilux"));
    resize(DesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_tray.registerIcon(I1, trayIcon(false));
    m_tray.registerIcon(I2, trayIcon(true));
    connect(&m_tray, &TrayIcon::OnIcon, this, &MainWindow::cTray_OnIcon);

    m_wcStart.setObjectName(QStringLiteral("WCstart"));
    m_wcStart.setInterval(500);
    connect(&m_wcStart, &QTimer::timeout, this, &MainWindow::WCstart_Timer);
    m_psaveT.setObjectName(QStringLiteral("PsaveT"));
    m_psaveT.setInterval(500);
    connect(&m_psaveT, &QTimer::timeout, this, &MainWindow::PsaveT_Timer);

    connect(&m_updates, &UpdateChecker::StatusLine, this, &MainWindow::showStatus);
    connect(&m_updates, &UpdateChecker::RepaintMain, this, [this] { m_st->repaint(); });

    buildControls();
    buildTrayMenu();
    setWindowIcon(trayIcon(false));
}

MainWindow::~MainWindow() {
    // The tray icon must not outlive the window it stands for.
    if (m_tray.isShown())
        m_tray.Delete();
}

void MainWindow::buildControls() {
    const int w = width();
    const int h = height();

    for (int i = 0; i < 3; ++i) {
        m_head[static_cast<size_t>(i)] = new HeaderPiece(i, this);
        m_head[static_cast<size_t>(i)]->setObjectName(QStringLiteral("Head_%1").arg(i));
        m_head[static_cast<size_t>(i)]->installEventFilter(this);
    }
    m_head[0]->setGeometry(0, 0, w, HeaderHeight);
    m_head[1]->setGeometry(28, 0, w - 28, HeaderHeight);
    m_head[2]->setGeometry(w - 80, 0, 80, HeaderHeight);

    using controls::TitleBarButton;
    m_tb1 = new TitleBarButton(TitleBarButton::Kind::Close, this);
    m_tb2 = new TitleBarButton(TitleBarButton::Kind::HideToTray, this);
    m_tb3 = new TitleBarButton(TitleBarButton::Kind::MaximizeRestore, this);
    m_tb1->setObjectName(QStringLiteral("tb1"));
    m_tb2->setObjectName(QStringLiteral("tb2"));
    m_tb3->setObjectName(QStringLiteral("tb3"));
    m_tb2->setNoHoverWhileDisabled(true);
    m_tb3->setNoHoverWhileDisabled(true);
    m_tb1->move(w - 26, 3);
    m_tb2->move(w - 71, 3);
    m_tb3->move(w - 48, 3);
    connect(m_tb1, &TitleBarButton::Click, this, &MainWindow::Exit);
    connect(m_tb2, &TitleBarButton::Click, this, &MainWindow::tb2_Click);
    connect(m_tb3, &TitleBarButton::Click, this, &MainWindow::tb3_Click);

    m_webCam = new capture::CaptureControl(m_context, *this, m_services.source, m_services.deviceFactory,
                                   m_services.cameras, this);
    m_webCam->setGeometry(8, 30, w - 152, h - 59);
    connect(m_webCam, &capture::CaptureControl::Alarm, this, &MainWindow::WebCam_Alarm);
    connect(m_webCam, &capture::CaptureControl::Percent, this, &MainWindow::WebCam_Percent);
    connect(m_webCam, &capture::CaptureControl::FPS, this, &MainWindow::WebCam_FPS);
    connect(m_webCam, &capture::CaptureControl::ImgFormat, this, &MainWindow::WebCam_ImgFormat);
    connect(m_webCam, &capture::CaptureControl::Saved, this, &MainWindow::WebCam_Saved);

    const QStringList captions{
        QStringLiteral("Сделать снимок"),      QStringLiteral("Автосъемка вкл."),
        QStringLiteral("Настройки детектора"), QStringLiteral("Настройки программы"),
        QStringLiteral("Загрузка на FTP"),     QStringLiteral("Выход"),
        QStringLiteral("О программе"),         QStringLiteral("СМС-уведомления")};
    for (int i = 0; i < 8; ++i) {
        auto* button = new controls::PushButton(captions.at(i), this);
        button->setObjectName(QStringLiteral("XpB_%1").arg(i));
        button->setButtonStyle(3);
        // The longest captions fit on one line.
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        button->setFont(small);
        const int top = 32 + i * (ButtonHeight + 5) + (i >= 5 ? 8 : 0);
        button->setGeometry(w - 137, top, ButtonWidth, ButtonHeight);
        connect(button, &controls::PushButton::Click, this, [this, i] { XpB_Click(i); });
        m_xpb[static_cast<size_t>(i)] = button;
    }
    m_xpb[7]->hide(); // the SMS window is not reached from here
    m_xpb[2]->setEnabled(false);

    for (int i = 0; i < 6; ++i) {
        auto* label = new controls::OverlayLabel(this);
        label->setObjectName(QStringLiteral("Plabel_%1").arg(i));
        label->resize(LabelSize);
        label->Fcolor(LabelGrey);
        label->hide();
        m_plabel[static_cast<size_t>(i)] = label;
    }
    const int row = h - 45;
    m_plabel[0]->resize(76, LabelSize.height()); // "FPS: " and up to five digits
    m_plabel[0]->move(12, row);
    m_plabel[3]->move(92, row);
    m_plabel[2]->move(w - 260, row);
    m_plabel[1]->move(w - 199, row);
    m_plabel[4]->move(12, 34);
    m_plabel[5]->move(72, 34);

    m_st = new QLabel(this);
    m_st->setObjectName(QStringLiteral("St"));
    m_st->setGeometry(6, h - 19, w - 25, 16);

    m_psave = new SavedMark(this);
    m_psave->setObjectName(QStringLiteral("PSave"));
    m_psave->move(w - 178, h - 77);
    m_psave->hide();

    m_record = new RecordingIndicator(m_context, m_tray, I1, I2, this);
    m_record->move(w - 167, 6);
    m_record->Stopp();

    m_blackPicture = new QWidget(this);
    m_blackPicture->setObjectName(QStringLiteral("BlackPicture"));
    m_blackPicture->setAutoFillBackground(true);
    m_blackPicture->setGeometry(30, 110, 300, 96);
    auto* label1 = new QLabel(QStringLiteral("Вы что-нибудь видите?"), m_blackPicture);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(10, 8, 280, 20);
    QFont bold = label1->font();
    bold.setBold(true);
    label1->setFont(bold);
    auto* label2 = new QLabel(QStringLiteral("<a href=\"help\">Изображения нет. Только черный "
                                             "прямоугольник</a>"),
                              m_blackPicture);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(10, 38, 280, 20);
    connect(label2, &QLabel::linkActivated, this,
            [this] { m_services.urls.open(QUrl(BlackPictureHelpUrl)); });
    auto* label3 = new QLabel(
        QStringLiteral("<a href=\"ok\">Все нормально, просто сейчас темно</a>"), m_blackPicture);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setGeometry(10, 64, 280, 20);
    connect(label3, &QLabel::linkActivated, m_blackPicture, &QWidget::hide);
    m_blackPicture->hide();

    for (int i = 0; i < 4; ++i) {
        auto* line = new QWidget(this);
        line->setObjectName(QStringLiteral("L_%1").arg(i));
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, Border);
        line->setPalette(pal);
        m_L[static_cast<size_t>(i)] = line;
    }

    m_sizeGrip = new controls::SizeGrip(this);
    m_sizeGrip->setObjectName(QStringLiteral("SizeGrip1"));
}

void MainWindow::buildTrayMenu() {
    m_traymnu = new QMenu(this);
    m_traymnu->setObjectName(QStringLiteral("traymnu"));
    m_mnuOpen = m_traymnu->addAction(QStringLiteral("Открыть программу"), this, &MainWindow::MeShow);
    m_traymnu->addSeparator();
    m_mnuShot =
        m_traymnu->addAction(QStringLiteral("Сделать снимок"), this, [this] { XpB_Click(0); });
    m_mnuAuto =
        m_traymnu->addAction(QStringLiteral("Автосъемка вкл"), this, [this] { XpB_Click(1); });
    m_mnuDetect =
        m_traymnu->addAction(QStringLiteral("Настройки детектора"), this, [this] { XpB_Click(2); });
    m_mnuDetect->setEnabled(false);
    m_mnuOptions =
        m_traymnu->addAction(QStringLiteral("Настройки программы"), this, [this] { XpB_Click(3); });
    m_traymnu->addSeparator();
    m_mnuExit = m_traymnu->addAction(QStringLiteral("Выход"), this, [this] { XpB_Click(5); });
}

// ---- detector settings ---------------------------------------------------

void MainWindow::SetSensor(qint16 Number, qint32 Value) {
    // The window ranges keep values in 16 bits; a value from elsewhere is
    // held there rather than wrapped.
    const auto to16 = [](qint32 v) { return static_cast<qint16>(std::clamp(v, -32768, 32767)); };
    switch (Number) {
    case 0:
        m_webCam->setMotionDetectTimerInterval(to16(Value));
        OverlayLabel(1).Text(QString::number(Value));
        break;
    case 1:
        m_webCam->setMotionDetectNoise(to16(Value));
        break;
    case 2:
        m_webCam->setMotionDetectAmount(to16(100 - Value));
        OverlayLabel(4).Text(QString::number(Value) + QLatin1Char('%'));
        m_webCam->SensorNewMax(100 - Value);
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
    const QLineF& l = m_lines[static_cast<size_t>(index)];
    const QRectF r = QRectF(l.p1(), l.p2()).normalized();
    m_L[static_cast<size_t>(index)]->setGeometry(qRound(r.left()), qRound(r.top()),
                                                 std::max(1, qRound(r.width())),
                                                 std::max(1, qRound(r.height())));
}

void MainWindow::placeBorderLines() {
    // Left, right, bottom and top edges, one pixel wide.
    const double w = width();
    const double h = height();
    m_lines = {QLineF(0, 0, 0, h), QLineF(w - 1, 0, w - 1, h), QLineF(0, h - 1, w, h - 1),
               QLineF(0, 0, w, 0)};
    for (int i = 0; i < 4; ++i)
        placeLine(i);
    update();
}

void MainWindow::makeTopmost() {
    platform::MakeTopmost(*this);
}

void MainWindow::createTray() {}

void MainWindow::showSplash() {
    m_splash = new SplashWindow();
    connect(m_splash, &SplashWindow::Finished, this, &MainWindow::SplashEnded);
    m_splash->show();
}

void MainWindow::WebcamStart() {
    m_webCam->WebcamStart();
}

void MainWindow::setLabelTips(const QStringList& tips) {
    for (int i = 0; i < 6 && i < tips.size(); ++i)
        OverlayLabel(i).Tip(tips.at(i));
}

void MainWindow::installWindowProc() {
    setMinimumSize(MinimumSize);
}

void MainWindow::showSettingsFolderNote(const QString& iniPath) {
    showStatus(QStringLiteral(" Папка программы закрыта для записи, настройки хранятся в ") +
               QDir::toNativeSeparators(iniPath));
}

void MainWindow::showMain() {
    show();
    raise();
    activateWindow();
}

void MainWindow::armUpdateCheck() {
    m_updates.UpTimer().start();
}

void MainWindow::BScheck() {
    m_webCam->BScheck();
}

void MainWindow::WebcamStop() {
    m_webCam->WebcamStop();
}

void MainWindow::restoreWindowProc() {
    setMinimumSize(0, 0);
}

void MainWindow::UnLoadAll() {
    app::UnLoadAll(m_forms);
}

void MainWindow::Exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    emit UnloadRequested();
    QCoreApplication::quit();
}

// ---- watch mode -------------------------------------------------------------

void MainWindow::StartAuto() {
    const bool on = !m_context.AutoShotOn;
    if (on)
        m_webCam->MotionDetect(true); // resets the alarm count
    else
        m_webCam->MotionDetect(false);
    m_context.AutoShotOn = on;
    for (int i : {0, 1, 3, 4, 5})
        OverlayLabel(i).setVisible(on);
    if (on) {
        OverlayLabel(5).Text(QStringLiteral("0"));
        OverlayLabel(5).Tcolor(AlarmRed);
    }
    PushButton(0).setEnabled(!on);
    m_mnuShot->setEnabled(!on);
    PushButton(2).setEnabled(on);
    m_mnuDetect->setEnabled(on);
    PushButton(3).setEnabled(!on);
    m_mnuOptions->setEnabled(!on);
    const QString caption =
        on ? QStringLiteral("Автосъемка выкл.") : QStringLiteral("Автосъемка вкл.");
    PushButton(1).setCaption(caption);
    m_mnuAuto->setText(caption);
    showStatus(on ? QStringLiteral(" Автосъемка включена")
                  : QStringLiteral(" Автосъемка выключена"));
    if (on)
        m_record->start();
    else
        m_record->Stopp();
}

// ---- the capture control's events -----------------------------------------

void MainWindow::WebCam_Alarm(bool Value) {
    if (!Value)
        return;
    OverlayLabel(3).Fcolor(AlarmRed);
    if (m_context.CalibrationPhase == 0) {
        if (m_context.DetectorDialogOpen)
            return;
        // Counted up to the largest 16-bit value, then held there.
        if (m_context.AlarmCount < 32767)
            ++m_context.AlarmCount;
        OverlayLabel(5).Text(QString::number(m_context.AlarmCount));
    }
    if (m_context.DetectorDialogOpen)
        return;
    const auto& s = m_context.settings;
    if (s.SoundAlarm)
        m_sound.PlayWaveFile(s.SoundAlarmPath);
    if (s.SysTrayAlarm && m_context.InTray) {
        m_tray.DisplayBalloon(
            QStringLiteral("Обнаружено движение!"),
            QStringLiteral("Программа обнаружила движение в наблюдаемой области. ") + CrLf +
                QStringLiteral("Всего срабатываний детектора движения с начала наблюдения: ") +
                QString::number(m_context.AlarmCount) + CrLf +
                QStringLiteral("Расхождение с предыдущим кадром: ") +
                QString::number(100 - m_lastPercent) + QLatin1Char('%'),
            2);
    }
    if (s.RunAlarm && !s.RunAlarmPath.isEmpty() && QFileInfo(s.RunAlarmPath).isFile()) {
        if (s.RunAlarmWait) {
            const QString remembered = m_st->text();
            showStatus(QStringLiteral("Ожидание завершения внешнего приложения..."));
            m_st->repaint();
            m_services.processes.runAndWait(s.RunAlarmPath, 1);
            showStatus(remembered);
        } else {
            m_services.processes.start(s.RunAlarmPath);
        }
    }
}

void MainWindow::WebCam_Percent(qint32 Value) {
    m_lastPercent = Value;
    OverlayLabel(3).Fcolor(LabelGrey);
    OverlayLabel(3).Text(QString::number(100 - Value) + QLatin1Char('%'));
    if ((m_context.CalibrationPhase == 2 || m_context.CalibrationPhase == 3) &&
        m_context.Calibration)
        m_context.Calibration->PercentValue(Value);
}

void MainWindow::WebCam_FPS(qint16 Value) {
    OverlayLabel(0).Text(QStringLiteral("FPS: ") + QString::number(Value));
    if (m_context.CalibrationPhase == 1 && m_context.Calibration)
        m_context.Calibration->FPSValue(Value);
}

void MainWindow::WebCam_ImgFormat(const QString& Value) {
    if (!OverlayLabel(2).isVisible())
        OverlayLabel(2).show();
    OverlayLabel(2).Text(Value);
}

void MainWindow::WebCam_Saved(const QString& Path) {
    m_queue.Saved(Path);
}

// ---- CaptureControlHost ------------------------------------------------------------

void MainWindow::setCaptureButtonsEnabled(bool enabled) {
    PushButton(0).setEnabled(enabled && !m_context.AutoShotOn);
    PushButton(1).setEnabled(enabled);
}

void MainWindow::showSavingIndicator() {
    m_psave->show();
    m_psave->repaint();
}

void MainWindow::startIndicatorHideTimer() {
    m_psaveT.start();
}

void MainWindow::playSound(const QString& path) {
    m_sound.PlayWaveFile(path);
}

void MainWindow::showStatus(const QString& text) {
    m_st->setText(text);
}

void MainWindow::showBlackPicture() {
    m_blackPicture->show();
    m_blackPicture->raise();
}

void MainWindow::PsaveT_Timer() {
    m_psaveT.stop();
    m_psave->hide();
}

// ---- commands --------------------------------------------------------------

void MainWindow::XpB_Click(int Index) {
    switch (Index) {
    case 0:
        if (PushButton(0).isEnabled())
            m_webCam->SaveFrame();
        break;
    case 1:
        if (PushButton(1).isEnabled())
            StartAuto();
        break;
    case 2:
        if (PushButton(2).isEnabled())
            openDetectorSettings();
        break;
    case 3:
        if (PushButton(3).isEnabled())
            openProgramOptions();
        break;
    case 4:
        openFtpSettings();
        break;
    case 5:
        Exit();
        break;
    case 6:
        openAbout();
        break;
    default:
        break;
    }
}

void MainWindow::tb2_Click() {
    MeHide();
}

void MainWindow::tb3_Click() {
    if (isMinimized())
        return;
    if (isMaximized()) {
        m_sizeGrip->show();
        showNormal();
        m_tb3->setRestoreGlyph(false);
    } else {
        m_sizeGrip->hide();
        showMaximized();
        m_tb3->setRestoreGlyph(true);
    }
}

// ---- tray ------------------------------------------------------------------

void MainWindow::MeHide() {
    if (!m_context.InTray) {
        // Without a notification area the window would be lost: stay.
        if (!m_tray.isAvailable()) {
            showStatus(QStringLiteral(" Область уведомлений недоступна: окно не скрыто"));
            return;
        }
        if (m_tray.hWnd() == 0)
            m_tray.setHWnd(1);
        m_tray.setIcon(I1);
        m_tray.setToolTipText(QStringLiteral("Vigilux"));
        m_tray.Add();
        m_context.InTray = true;
        // The window stays alive (capture and timers run); it only leaves
        // the screen and the task bar.
        hide();
    }
    if (m_context.ini.ReadINI(QStringLiteral("FirstRun"), QString()).isEmpty()) {
        m_context.ini.SaveINI(QStringLiteral("False"), QStringLiteral("FirstRun"), QString());
        m_tray.DisplayBalloon(QStringLiteral("Vigilux"),
                              QStringLiteral("Управление программой:") + CrLf +
                                  QStringLiteral("Левая кнопка мыши - показать программу,") + CrLf +
                                  QStringLiteral("Правая кнопка мыши - меню программы"),
                              1);
    }
}

void MainWindow::MeShow() {
    if (!m_context.InTray)
        return;
    m_tray.Delete();
    m_context.InTray = false;
    showMain();
}

void MainWindow::cTray_OnIcon(qint16 MouseButton) {
    if (MouseButton == 1)
        MeShow();
    else if (MouseButton == 5)
        m_tray.CallPopupMenu(m_traymnu, m_mnuOpen);
}

// ---- layout ----------------------------------------------------------------

void MainWindow::WCstart_Timer() {
    m_wcStart.stop();
    m_webCam->WebcamStart();
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
        PushButton(i).hide();
    for (int i = 0; i < 4; ++i) {
        m_lines[static_cast<size_t>(i)] = Resizer::scale(m_lines[static_cast<size_t>(i)], old, now);
        placeLine(i);
    }
    for (auto* b : m_xpb)
        b->move(W - 137, b->y());
    // Capture stops while the size changes and restarts once, 500 ms after
    // the last step.
    m_webCam->WebcamStop();
    m_wcStart.stop();
    m_webCam->resize(W - 152, H - 59);
    m_wcStart.start();
    m_st->setGeometry(m_st->x(), H - 19, W - 25, m_st->height());
    m_head[0]->resize(W - m_head[0]->x(), m_head[0]->height());
    m_head[1]->resize(W - m_head[1]->x(), m_head[1]->height());
    m_head[2]->move(W - m_head[2]->width(), m_head[2]->y());
    m_tb1->move(W - 26, m_tb1->y());
    m_tb2->move(W - 71, m_tb2->y());
    m_tb3->move(W - 48, m_tb3->y());
    m_record->move(W - 167, m_record->y());
    m_psave->move(W - 178, H - 77);
    OverlayLabel(0).move(OverlayLabel(0).x(), H - 45);
    OverlayLabel(3).move(OverlayLabel(3).x(), H - 45);
    OverlayLabel(1).move(W - 199, H - 45);
    OverlayLabel(2).move(W - 260, H - 45);
    for (int i = 0; i < 7; ++i)
        PushButton(i).show();
    update();
}

// ---- windows -----------------------------------------------------------------

void MainWindow::openDetectorSettings() {
    if (!m_options)
        return;
    m_record->Stop2();
    m_context.DetectorDialogOpen = true;
    {
        settings::DetectorSettingsWindow window(m_context, *m_options, *this, this);
        window.exec();
    }
    m_context.DetectorDialogOpen = false;
    m_record->start();
}

void MainWindow::openProgramOptions() {
    if (!m_options)
        return;
    // After one of its capture buttons the window stays open without being
    // modal and deletes itself when it is closed.
    auto* window = new settings::ProgramOptionsWindow(
        m_context, *m_options, *m_webCam, [this] { OverlayLabel(2).hide(); }, this);
    window->exec();
    if (!window->Detached())
        delete window;
}

void MainWindow::openFtpSettings() {
    if (!m_options)
        return;
    net::FtpSettingsWindow window(m_context, *m_options, this);
    window.exec();
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
        std::find(m_head.begin(), m_head.end(), watched) != m_head.end()) {
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
        Exit();
    event->accept();
}

} // namespace vigilux::app
