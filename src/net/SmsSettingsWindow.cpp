#include "net/SmsSettingsWindow.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "net/FtpStatusIcon.h"
#include "net/SmsLength.h"
#include "platform/CaptureCommands.h"
#include "platform/Dialogs.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "settings/AppContext.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace vigilux::net {

namespace {
constexpr int WindowWidth = 530;
constexpr int WindowHeight = 452;
constexpr int Margin = 16;
constexpr int FieldColumn = 124;
const QColor kPanel(234, 234, 234);
const QString kCrLf = QStringLiteral("\r\n");
const QString kInfo = QStringLiteral("Информация");
} // namespace

QString SmsSettingsWindow::SampleKey() {
    return QStringLiteral("4f0c2a7e-93b1-4d6a-8e25-b7c1f0d39a64");
}

QString SmsSettingsWindow::SampleNumber() {
    return QStringLiteral("79001234567");
}

QString SmsSettingsWindow::SampleMessage() {
    return QStringLiteral("Vigilux:обнаружено движение.Интенсивность:#%#%.Всего тревог:#n#.\n");
}

QString SmsSettingsWindow::TestMessage() {
    return QStringLiteral("Vigilux: тестовое смс-оповещение об обнаружении движения в кадре.");
}

QString SmsSettingsWindow::BalanceCaption() {
    return QStringLiteral("Запросить баланс и остаток");
}

QString SmsSettingsWindow::WaitingCaption() {
    return QStringLiteral("Подождите, идет запрос...");
}

QString SmsSettingsWindow::KeyPagePathAndQuery() {
    return QStringLiteral("/?panel=api&subpanel=method&show=sms/send");
}

SmsSettingsWindow::SmsSettingsWindow(AppContext& context, platform::CaptureCommands& capture,
                       platform::UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_capture(capture)
    , m_opener(opener) {
    setObjectName(QStringLiteral("SMSoptions"));
    setWindowTitle(QStringLiteral("СМС-уведомления"));
    setFixedSize(WindowWidth, WindowHeight);
    if (!m_context.InTray)
        platform::MakeTopmost(*this);

    QLabel* heading = addLabel(QStringLiteral("Смс-уведомления от детектора движения"), Margin, 14);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    heading->adjustSize();

    const int fieldHeight = 24;
    auto addLine = [this](const QString& text, int y, int width, int index) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(QStringLiteral("Text_%1").arg(index));
        edit->setGeometry(FieldColumn, y, width, fieldHeight);
        edit->setCursorPosition(0);
        return edit;
    };

    addLabel(QStringLiteral("Ваш ключ:"), Margin, 54);
    m_key = addLine(SampleKey(), 50, 300, 0);
    m_L[1] = addLink(QStringLiteral("какой ключ?"), FieldColumn + 310, 54, "L_1");

    addLabel(QStringLiteral("Телефон:"), Margin, 86);
    m_phone = addLine(SampleNumber(), 82, 130, 1);
    m_L[0] = addLink(QStringLiteral("почем смс?"), FieldColumn + 140, 86, "L_0");

    addLabel(QStringLiteral("Текст сообщения:"), Margin, 118);
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("Text_2"));
    m_message->setGeometry(Margin, 138, WindowWidth - 2 * Margin, 96);
    m_message->setPlainText(SampleMessage());
    m_L[2] = addLink(QStringLiteral("999 символов (1 смс)"), Margin, 240, "L_2");
    connect(m_message, &QPlainTextEdit::textChanged, this, &SmsSettingsWindow::UpdateCounter);
    // The design text is only a placeholder; show the real count at once.
    UpdateCounter();

    // The sending limit row: shown, but nothing reads it.
    m_Check1 = new controls::CheckBox(this);
    m_Check1->setObjectName(QStringLiteral("Check1"));
    m_Check1->move(Margin, 276);
    QLabel* limit = addLabel(QStringLiteral("Отправлять не более 1 смс в"),
                             Margin + m_Check1->sizeHint().width() + 6, 277);
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setRange(1, 60);
    m_scroll->setGeometry(limit->geometry().right() + 8, 276, 110, 18);
    addLabel(QStringLiteral("минут"), m_scroll->geometry().right() + 8, 277);

    QLabel* balance = addLabel(QStringLiteral("Баланс:"), Margin, 312);
    m_Label3 = addLabel(QString(), balance->geometry().right() + 6, 312, "Label3");
    m_Label3->setFixedWidth(80);
    addLabel(QStringLiteral("руб"), m_Label3->geometry().right() + 4, 312);
    QLabel* limitCaption = addLabel(QStringLiteral("Лимит:"), 250, 312);
    m_Label5 = addLabel(QString(), limitCaption->geometry().right() + 6, 312, "Label5");
    m_Label5->setFixedWidth(50);
    addLabel(QStringLiteral("сообщений"), m_Label5->geometry().right() + 4, 312);

    const QStringList captions{QStringLiteral("OK"), QStringLiteral("Отмена"),
                               QStringLiteral("Отправить тестовое смс-сообщение"),
                               BalanceCaption()};
    for (int i = 0; i < 4; ++i) {
        m_XpB[i] = new controls::PushButton(captions[i], this);
        m_XpB[i]->setObjectName(QStringLiteral("XpB_%1").arg(i));
        m_XpB[i]->setButtonStyle(3);
    }
    m_XpB[2]->setGeometry(Margin, 340, 290, 28);
    m_XpB[3]->setGeometry(Margin, 374, 290, 28);
    m_XpB[0]->setGeometry(WindowWidth - Margin - 2 * 96 - 8, WindowHeight - 40, 96, 28);
    m_XpB[1]->setGeometry(WindowWidth - Margin - 96, WindowHeight - 40, 96, 28);

    m_status = new FtpStatusIcon(this);
    m_status->setObjectName(QStringLiteral("SMS"));
    m_status->move(Margin + 300, 344);
    m_status->setState(m_SMS.State());
    connect(&m_SMS, &SmsClient::StateChanged, m_status, &FtpStatusIcon::setState);

    // OK carries no action: nothing here is stored.
    connect(m_XpB[1], &controls::PushButton::Click, this, &QDialog::reject);
    connect(m_XpB[2], &controls::PushButton::Click, this, &SmsSettingsWindow::TestClick);
    connect(m_XpB[3], &controls::PushButton::Click, this, &SmsSettingsWindow::BalanceClick);

    connect(&m_SMS, &SmsClient::Balance, this, &SmsSettingsWindow::SMS_Balance);
    connect(&m_SMS, &SmsClient::Cost, this, &SmsSettingsWindow::SMS_Cost);
    connect(&m_SMS, &SmsClient::Err, this, &SmsSettingsWindow::SMS_Err);

    pause(true);
}

SmsSettingsWindow::~SmsSettingsWindow() {
    // Destroyed without being closed (its parent went first).
    pause(false);
}

QLabel* SmsSettingsWindow::addLabel(const QString& text, int x, int y, const char* name) {
    auto* label = new QLabel(text, this);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* SmsSettingsWindow::addLink(const QString& text, int x, int y, const char* name) {
    QLabel* label = addLabel(text, x, y, name);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 70, 170));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
    label->adjustSize();
    label->installEventFilter(this);
    return label;
}

void SmsSettingsWindow::pause(bool on) {
    if (m_paused == on)
        return;
    m_paused = on;
    m_capture.PrePause(on);
}

void SmsSettingsWindow::showEvent(QShowEvent* event) {
    // Shown again after it was closed: pause again.
    pause(true);
    QDialog::showEvent(event);
}

void SmsSettingsWindow::done(int result) {
    pause(false);
    QDialog::done(result);
}

QUrl SmsSettingsWindow::KeyPage() const {
    return QUrl(QStringLiteral("http://") + GatewayDomain() + KeyPagePathAndQuery());
}

QString SmsSettingsWindow::MessageText() const {
    QString text = m_message->toPlainText();
    text.replace(QLatin1Char('\n'), kCrLf);
    return text;
}

void SmsSettingsWindow::UpdateCounter() {
    const QString text = MessageText();
    m_L[2]->setText(SmsLength::label(text));
    m_L[2]->adjustSize();
}

void SmsSettingsWindow::TestClick() {
    m_SMS.SendSMS(m_phone->text(), TestMessage(), m_key->text());
}

void SmsSettingsWindow::BalanceClick() {
    m_XpB[3]->setCaption(WaitingCaption());
    m_XpB[3]->setEnabledCtrl(false);
    m_Label3->clear();
    m_Label5->clear();
    m_SMS.GetBalance(m_key->text());
    // Refused because another request is running: nothing will come back to
    // give the button its caption again, so do it now.
    if (m_SMS.Mode() != 2 && !m_XpB[3]->isEnabled())
        restoreBalanceButton();
}

void SmsSettingsWindow::CostClick() {
    const bool balancePending = m_SMS.Mode() == 2;
    m_SMS.GetCost(m_phone->text());
    // The price query replaces a running balance query, whose answer will
    // never come.
    if (balancePending && m_SMS.Mode() == 3)
        restoreBalanceButton();
}

void SmsSettingsWindow::restoreBalanceButton() {
    m_XpB[3]->setCaption(BalanceCaption());
    m_XpB[3]->setEnabledCtrl(true);
}

void SmsSettingsWindow::KeyHelpClick() {
    const QString text =
        QStringLiteral("ID это ваш уникальный идентификатор на сайте ") + GatewayDomain() +
        QStringLiteral(". Он нужен для отправки сообщений; скопируйте его на странице сайта из "
                       "оранжевой рамки с заголовком «Уникальный ключ».") +
        kCrLf + kCrLf + QStringLiteral("Открыть страницу с вашим ID (уникальным ключом)?");
    if (m_context.dialogs.message(platform::Dialogs::Icon::Information, kInfo, text,
                                  platform::Dialogs::Buttons::YesNo) ==
        platform::Dialogs::Answer::Yes)
        m_opener.open(KeyPage());
}

void SmsSettingsWindow::LengthHelpClick() {
    const QString text =
        QStringLiteral(
            "Длинные сообщения автоматически упаковываются в один единый текст, состоящий из "
            "нескольких сообщений, которые показываются у получателя как одно целое. В случае, "
            "если вы укладываетесь в 1 сообщение, то его максимальная длина должна составлять "
            "160 латинских символов, или 70 символов, если оно содержит русские. Если вы не "
            "укладываетесь в одно сообщение, то каждое сообщение будет состоять из 153 "
            "латинских символов, или 67 русских. Максимальная длина одного текста - 5 смс "
            "сообщений.") +
        kCrLf + kCrLf +
        QStringLiteral("Шаблоны для подстановки информации: #n# - число срабатываний детектора "
                       "движения с момента начала съемки; #%# - процент расхождения между кадрами "
                       "с движением и предыдущим.");
    m_context.dialogs.message(platform::Dialogs::Icon::Information, kInfo, text);
}

void SmsSettingsWindow::SMS_Balance(const QString& Res) {
    m_Label3->setText(Res);
}

void SmsSettingsWindow::SMS_Cost(const QString& Res) {
    const QString rest = Res.mid(2);
    const QString text =
        Res.startsWith(QStringLiteral("OK"))
            ? QString(QStringLiteral("Стоимость отправки сообщения на этот номер: ") + rest +
                      QStringLiteral(" руб"))
            : QString(QStringLiteral("Произошла ошибка: ") + rest);
    m_context.dialogs.message(platform::Dialogs::Icon::Information, kInfo, text);
}

void SmsSettingsWindow::SMS_Err(const QString& Res) {
    m_context.dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                              QStringLiteral("Ошибка при работе с сайтом ") + GatewayDomain() +
                                  kCrLf + kCrLf + Res);
    restoreBalanceButton();
}

bool SmsSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const auto* label = qobject_cast<QLabel*>(watched);
        if (label && me->button() == Qt::LeftButton &&
            label->rect().contains(me->position().toPoint())) {
            if (label == m_L[0]) {
                CostClick();
                return true;
            }
            if (label == m_L[1]) {
                KeyHelpClick();
                return true;
            }
            if (label == m_L[2]) {
                LengthHelpClick();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SmsSettingsWindow::paintEvent(QPaintEvent*) {
    // BG: the light panel.
    QPainter p(this);
    p.fillRect(rect(), kPanel);
}

} // namespace vigilux::net
