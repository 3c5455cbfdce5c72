#include "ui/AboutWindow.h"

#include "app/UpdateChecker.h"
#include "controls/PushButton.h"
#include "controls/TitleBarButton.h"
#include "core/AppContext.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QUrlQuery>
#include <QWindow>

namespace vigilux::ui {

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

QUrl AboutWindow::webSite() {
    return QUrl(QStringLiteral("http://") + kSiteHost);
}

QUrl AboutWindow::mailTo() {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(kMailAddress);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), kMailSubject);
    url.setQuery(query);
    return url;
}

AboutWindow::AboutWindow(AppContext& context, app::UpdateChecker& checker,
                         platform::UrlOpener& opener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_context(context)
    , m_checker(checker)
    , m_opener(opener) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(WindowWidth, WindowHeight);
    platform::makeTopmost(*this);

    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("Head"));
    m_header->setGeometry(0, 0, WindowWidth, HeadHeight);
    m_header->setPixmap(headPicture(WindowWidth, font()));
    m_header->installEventFilter(this);

    m_closeButton = new controls::TitleBarButton(controls::TitleBarButton::Kind::Close, this);
    m_closeButton->setObjectName(QStringLiteral("tb11"));
    m_closeButton->move(WindowWidth - m_closeButton->width() - 10,
                        (HeadHeight - m_closeButton->height()) / 2);
    m_closeButton->raise();
    connect(m_closeButton, &controls::TitleBarButton::clicked, this, &QDialog::reject);

    QLabel* version = addLabel("Label7", QStringLiteral("Версия 2.0 beta"), {24, 62});
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    version->adjustSize();

    addLabel("Label5", QStringLiteral("Официальный сайт:"), {24, 98});
    m_siteLabel = addLabel("Label6", kSiteHost, {ValueColumn, 98});
    makeLink(m_siteLabel);
    addLabel("Label3", QStringLiteral("E-mail:"), {24, 124});
    m_mailLabel = addLabel("Label4", kMailAddress, {ValueColumn, 124});
    makeLink(m_mailLabel);
    addLabel("Label1", QStringLiteral("Автор:"), {24, 150});
    addLabel("Label2", QStringLiteral("Команда Vigilux"), {ValueColumn, 150});

    m_blinkLabel = new QLabel(this);
    m_blinkLabel->setObjectName(QStringLiteral("Shape1"));
    m_blinkLabel->setPixmap(blinkPicture());
    m_blinkLabel->setGeometry(WindowWidth - 34, 66, 10, 10);

    m_updateButton = new controls::PushButton(QStringLiteral("Проверить обновление"), this);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_updateButton->setButtonStyle(3);
    m_updateButton->setGeometry(24, WindowHeight - 50, 210, 30);
    connect(m_updateButton, &controls::PushButton::clicked, &m_checker,
            &app::UpdateChecker::checkNow);
    connect(&m_checker, &app::UpdateChecker::aboutCaption, m_updateButton,
            &controls::PushButton::setCaption);
    // The download runs while this window waits; show the new caption first.
    connect(&m_checker, &app::UpdateChecker::repaintAbout, this, [this] { repaint(); });

    m_okButton = new controls::PushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setButtonStyle(3);
    m_okButton->setGeometry(WindowWidth - 24 - 90, WindowHeight - 50, 90, 30);
    connect(m_okButton, &controls::PushButton::clicked, this, &QDialog::accept);

    m_blinkTimer.setObjectName(QStringLiteral("ATimer"));
    m_blinkTimer.setInterval(BlinkIntervalMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &AboutWindow::onBlinkTick);
    m_blinkTimer.start();
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

void AboutWindow::onBlinkTick() {
    m_blinkLabel->setHidden(!m_blinkLabel->isHidden());
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_header && event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            // The window manager moves the window from here on.
            if (QWindow* handle = windowHandle())
                handle->startSystemMove();
            return true;
        }
    }
    if ((watched == m_siteLabel || watched == m_mailLabel) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QLabel*>(watched);
        if (me->button() == Qt::LeftButton && label->rect().contains(me->position().toPoint())) {
            m_opener.open(watched == m_siteLabel ? webSite() : mailTo());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutWindow::paintEvent(QPaintEvent*) {
    // The background: the panel and a thin frame, since there is no window border.
    QPainter p(this);
    p.fillRect(rect(), kPanel);
    p.setPen(QColor(150, 155, 165));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(QColor(210, 210, 214));
    p.drawLine(16, WindowHeight - 62, WindowWidth - 16, WindowHeight - 62);
}

} // namespace vigilux::ui
