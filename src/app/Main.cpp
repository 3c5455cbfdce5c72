#include "app/Main.h"

#include "app/Running.h"
#include "platform/WindowTools.h"
#include "settings/AppContext.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace vigilux::app {

namespace {
constexpr int HeaderHeight = 24;
const QColor Panel(234, 234, 234);
const QColor Border(120, 128, 140);
} // namespace

Main::Main(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_context(context) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Vigilux"));
    resize(DesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    for (int i = 0; i < 4; ++i) {
        auto* line = new QWidget(this);
        line->setObjectName(QStringLiteral("L_%1").arg(i));
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, Border);
        line->setPalette(pal);
        m_L[static_cast<size_t>(i)] = line;
    }

    m_st = new QLabel(this);
    m_st->setObjectName(QStringLiteral("St"));
    m_st->setGeometry(6, height() - 19, width() - 25, 16);

    m_upTimer.setObjectName(QStringLiteral("UpTimer"));
    m_upTimer.setInterval(1000);
    m_upTimer.setSingleShot(true);
    connect(&m_upTimer, &QTimer::timeout, this, &Main::UpTimer_Timer);
}

Main::~Main() = default;

void Main::SetSensor(qint16 Number, qint32 Value) {
    if (Number < 0 || Number > 2)
        return;
    m_sensorValues[static_cast<size_t>(Number)] = Value;
}

void Main::hideMain() {
    hide();
}

void Main::placeBorderLines() {
    // Left, right, bottom and top edges, one pixel wide.
    const int w = width();
    const int h = height();
    m_L[0]->setGeometry(0, 0, 1, h);
    m_L[1]->setGeometry(w - 1, 0, 1, h);
    m_L[2]->setGeometry(0, h - 1, w, 1);
    m_L[3]->setGeometry(0, 0, w, 1);
    update();
}

void Main::makeTopmost() {
    platform::MakeTopmost(*this);
}

void Main::createTray() {}

void Main::showSplash() {
    m_splash = new Running();
    connect(m_splash, &Running::Finished, this, &Main::SplashEnded);
    m_splash->show();
}

void Main::WebcamStart() {}

void Main::setLabelTips(const QStringList& tips) {
    m_labelTips = tips;
}

void Main::installWindowProc() {
    setMinimumSize(MinimumSize);
}

void Main::showSettingsFolderNote(const QString& iniPath) {
    m_st->setText(QStringLiteral(" Папка программы закрыта для записи, настройки хранятся в ") +
                  QDir::toNativeSeparators(iniPath));
}

void Main::showMain() {
    show();
    raise();
    activateWindow();
}

void Main::MeHide() {}

void Main::StartAuto() {}

void Main::armUpdateCheck() {
    m_upTimer.start();
}

void Main::BScheck() {}

void Main::WebcamStop() {}

void Main::restoreWindowProc() {
    setMinimumSize(0, 0);
}

void Main::UnLoadAll() {
    app::UnLoadAll(m_forms);
}

void Main::Exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    emit UnloadRequested();
    QCoreApplication::quit();
}

void Main::UpTimer_Timer() {
    m_upTimer.stop();
}

void Main::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
    QLinearGradient head(0, 0, 0, HeaderHeight);
    head.setColorAt(0.0, QColor(70, 92, 130));
    head.setColorAt(1.0, QColor(42, 58, 88));
    p.fillRect(QRect(0, 0, width(), HeaderHeight), head);
    p.setPen(QColor(236, 240, 246));
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(10, 0, width() - 20, HeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Vigilux"));
}

void Main::mousePressEvent(QMouseEvent* event) {
    // The borderless window is dragged by its header.
    if (event->button() == Qt::LeftButton && event->position().y() < HeaderHeight &&
        windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

void Main::closeEvent(QCloseEvent* event) {
    // A close from outside (window manager, Alt+F4) is the exit command;
    // during the exit the unload closes this window like any other.
    if (!m_exiting)
        Exit();
    event->accept();
}

} // namespace vigilux::app
