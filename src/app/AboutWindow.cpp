#include "app/AboutWindow.h"

#include "app/UpdateChecker.h"
#include "controls/PushButton.h"
#include "controls/TitleBarButton.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "settings/AppContext.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QUrlQuery>
#include <QWindow>

namespace vigilux::app {

namespace {
constexpr int WindowWidth = 380;
constexpr int WindowHeight = 250;
constexpr int HeadHeight = 46;
constexpr int ValueColumn = 158;
const QColor kPanel(234, 234, 234);

const QString kSiteHost = QStringLiteral("www.vigilux.ru");
const QString kMailAddress = QStringLiteral("support@vigilux.ru");
const QString kMailSubject = QStringLiteral("Vigilux 2.0");

// The header: the band with the lens mark, and the window's name on it.
QPixmap headPicture(int width, const QFont& base) {
    QPixmap pm = QPixmap::fromImage(
        resources::Pictures::image(QStringLiteral("about-head"), QSize(width, HeadHeight)));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QFont title = base;
    title.setPointSize(13);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(240, 244, 250));
    p.drawText(QRect(48, 0, width - 90, HeadHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vigilux — о программе"));
    return pm;
}

QPixmap blinkPicture() {
    return QPixmap::fromImage(
        resources::Pictures::image(QStringLiteral("blink-dot"), QSize(10, 10)));
}
} // namespace

QUrl AboutWindow::WebSite() {
    return QUrl(QStringLiteral("http://") + kSiteHost);
}

QUrl AboutWindow::MailTo() {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(kMailAddress);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), kMailSubject);
    url.setQuery(query);
    return url;
}

AboutWindow::AboutWindow(AppContext& context, UpdateChecker& checker, platform::UrlOpener& opener,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_context(context)
    , m_checker(checker)
    , m_opener(opener) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(WindowWidth, WindowHeight);
    platform::MakeTopmost(*this);

    m_Head = new QLabel(this);
    m_Head->setObjectName(QStringLiteral("Head"));
    m_Head->setGeometry(0, 0, WindowWidth, HeadHeight);
    m_Head->setPixmap(headPicture(WindowWidth, font()));
    m_Head->installEventFilter(this);

    m_tb11 = new controls::TitleBarButton(controls::TitleBarButton::Kind::Close, this);
    m_tb11->setObjectName(QStringLiteral("tb11"));
    m_tb11->move(WindowWidth - m_tb11->width() - 10, (HeadHeight - m_tb11->height()) / 2);
    m_tb11->raise();
    connect(m_tb11, &controls::TitleBarButton::Click, this, &QDialog::reject);

    QLabel* version = addLabel("Label7", QStringLiteral("Версия 2.0 beta"), {24, 62});
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    version->adjustSize();

    addLabel("Label5", QStringLiteral("Официальный сайт:"), {24, 98});
    m_Label6 = addLabel("Label6", kSiteHost, {ValueColumn, 98});
    makeLink(m_Label6);
    addLabel("Label3", QStringLiteral("E-mail:"), {24, 124});
    m_Label4 = addLabel("Label4", kMailAddress, {ValueColumn, 124});
    makeLink(m_Label4);
    addLabel("Label1", QStringLiteral("Автор:"), {24, 150});
    addLabel("Label2", QStringLiteral("Команда Vigilux"), {ValueColumn, 150});

    m_blink = new QLabel(this);
    m_blink->setObjectName(QStringLiteral("Shape1"));
    m_blink->setPixmap(blinkPicture());
    m_blink->setGeometry(WindowWidth - 34, 66, 10, 10);

    m_XpB2 = new controls::PushButton(QStringLiteral("Проверить обновление"), this);
    m_XpB2->setObjectName(QStringLiteral("XpB2"));
    m_XpB2->setButtonStyle(3);
    m_XpB2->setGeometry(24, WindowHeight - 50, 210, 30);
    connect(m_XpB2, &controls::PushButton::Click, &m_checker, &UpdateChecker::ManualUpdateCheck);
    connect(&m_checker, &UpdateChecker::AboutCaption, m_XpB2, &controls::PushButton::setCaption);
    // The download runs while this window waits; show the new caption first.
    connect(&m_checker, &UpdateChecker::RepaintAbout, this, [this] { repaint(); });

    m_XpB1 = new controls::PushButton(QStringLiteral("OK"), this);
    m_XpB1->setObjectName(QStringLiteral("XpB1"));
    m_XpB1->setButtonStyle(3);
    m_XpB1->setGeometry(WindowWidth - 24 - 90, WindowHeight - 50, 90, 30);
    connect(m_XpB1, &controls::PushButton::Click, this, &QDialog::accept);

    m_ATimer.setObjectName(QStringLiteral("ATimer"));
    m_ATimer.setInterval(ATimerInterval);
    connect(&m_ATimer, &QTimer::timeout, this, &AboutWindow::ATimer_Timer);
    m_ATimer.start();
}

AboutWindow::~AboutWindow() = default;

QLabel* AboutWindow::addLabel(const char* name, const QString& text, const QPoint& at) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->move(at);
    label->adjustSize();
    return label;
}

void AboutWindow::makeLink(QLabel* label) {
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 70, 170));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
    label->adjustSize();
    label->installEventFilter(this);
}

void AboutWindow::ATimer_Timer() {
    m_blink->setHidden(!m_blink->isHidden());
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_Head && event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            // The window manager moves the window from here on.
            if (QWindow* handle = windowHandle())
                handle->startSystemMove();
            return true;
        }
    }
    if ((watched == m_Label6 || watched == m_Label4) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QLabel*>(watched);
        if (me->button() == Qt::LeftButton && label->rect().contains(me->position().toPoint())) {
            m_opener.open(watched == m_Label6 ? WebSite() : MailTo());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutWindow::paintEvent(QPaintEvent*) {
    // BG: the panel and a thin frame, since there is no window border.
    QPainter p(this);
    p.fillRect(rect(), kPanel);
    p.setPen(QColor(150, 155, 165));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(QColor(210, 210, 214));
    p.drawLine(16, WindowHeight - 62, WindowWidth - 16, WindowHeight - 62);
}

} // namespace vigilux::app
