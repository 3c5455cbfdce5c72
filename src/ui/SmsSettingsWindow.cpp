#include "ui/SmsSettingsWindow.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "notify/SmsLength.h"
#include "platform/Dialogs.h"
#include "platform/UrlOpener.h"
#include "platform/WindowTools.h"
#include "ui/FtpStatusIcon.h"
#include "video/CaptureCommands.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace vigilux::ui {

namespace {
constexpr int WindowWidth = 530;
constexpr int WindowHeight = 452;
constexpr int Margin = 16;
constexpr int FieldColumn = 124;
const QColor kPanel(234, 234, 234);
const QString kCrLf = QStringLiteral("\r\n");
const QString kInfo = QStringLiteral("Информация");
} // namespace

QString SmsSettingsWindow::sampleKey() {
    return QStringLiteral("4f0c2a7e-93b1-4d6a-8e25-b7c1f0d39a64");
}

QString SmsSettingsWindow::sampleNumber() {
    return QStringLiteral("79001234567");
}

QString SmsSettingsWindow::sampleMessage() {
    return QStringLiteral("Vigilux:обнаружено движение.Интенсивность:#%#%.Всего тревог:#n#.\n");
}

QString SmsSettingsWindow::testMessage() {
    return QStringLiteral("Vigilux: тестовое смс-оповещение об обнаружении движения в кадре.");
}

QString SmsSettingsWindow::balanceCaption() {
    return QStringLiteral("Запросить баланс и остаток");
}

QString SmsSettingsWindow::waitingCaption() {
    return QStringLiteral("Подождите, идет запрос...");
}

QString SmsSettingsWindow::keyPagePathAndQuery() {
    return QStringLiteral("/?panel=api&subpanel=method&show=sms/send");
}

SmsSettingsWindow::SmsSettingsWindow(AppContext& context, video::CaptureCommands& capture,
                                     platform::UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_capture(capture)
    , m_opener(opener) {
    setObjectName(QStringLiteral("smsSettingsWindow"));
    setWindowTitle(QStringLiteral("СМС-уведомления"));
    setFixedSize(WindowWidth, WindowHeight);
    if (!m_context.inTray)
        platform::makeTopmost(*this);

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
    m_key = addLine(sampleKey(), 50, 300, 0);
    m_links[1] = addLink(QStringLiteral("какой ключ?"), FieldColumn + 310, 54, "L_1");

    addLabel(QStringLiteral("Телефон:"), Margin, 86);
    m_phone = addLine(sampleNumber(), 82, 130, 1);
    m_links[0] = addLink(QStringLiteral("почем смс?"), FieldColumn + 140, 86, "L_0");

    addLabel(QStringLiteral("Текст сообщения:"), Margin, 118);
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("Text_2"));
    m_message->setGeometry(Margin, 138, WindowWidth - 2 * Margin, 96);
    m_message->setPlainText(sampleMessage());
    m_links[2] = addLink(QStringLiteral("999 символов (1 смс)"), Margin, 240, "L_2");
    connect(m_message, &QPlainTextEdit::textChanged, this, &SmsSettingsWindow::updateCounter);
    // The design text is only a placeholder; show the real count at once.
    updateCounter();

    // The sending limit row: shown, but nothing reads it.
    m_limitBox = new controls::CheckBox(this);
    m_limitBox->setObjectName(QStringLiteral("Check1"));
    m_limitBox->move(Margin, 276);
    QLabel* limit = addLabel(QStringLiteral("Отправлять не более 1 смс в"),
                             Margin + m_limitBox->sizeHint().width() + 6, 277);
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setRange(1, 60);
    m_scroll->setGeometry(limit->geometry().right() + 8, 276, 110, 18);
    addLabel(QStringLiteral("минут"), m_scroll->geometry().right() + 8, 277);

    QLabel* balance = addLabel(QStringLiteral("Баланс:"), Margin, 312);
    m_balanceLabel = addLabel(QString(), balance->geometry().right() + 6, 312, "Label3");
    m_balanceLabel->setFixedWidth(80);
    addLabel(QStringLiteral("руб"), m_balanceLabel->geometry().right() + 4, 312);
    QLabel* limitCaption = addLabel(QStringLiteral("Лимит:"), 250, 312);
    m_limitLabel = addLabel(QString(), limitCaption->geometry().right() + 6, 312, "Label5");
    m_limitLabel->setFixedWidth(50);
    addLabel(QStringLiteral("сообщений"), m_limitLabel->geometry().right() + 4, 312);

    const QStringList captions{QStringLiteral("OK"), QStringLiteral("Отмена"),
                               QStringLiteral("Отправить тестовое смс-сообщение"),
                               balanceCaption()};
    const QStringList names{QStringLiteral("okButton"), QStringLiteral("cancelButton"),
                            QStringLiteral("testButton"), QStringLiteral("balanceButton")};
    for (int i = 0; i < 4; ++i) {
        m_buttons[i] = new controls::PushButton(captions[i], this);
        m_buttons[i]->setObjectName(names[i]);
        m_buttons[i]->setButtonStyle(3);
    }
    m_buttons[2]->setGeometry(Margin, 340, 290, 28);
    m_buttons[3]->setGeometry(Margin, 374, 290, 28);
    m_buttons[0]->setGeometry(WindowWidth - Margin - 2 * 96 - 8, WindowHeight - 40, 96, 28);
    m_buttons[1]->setGeometry(WindowWidth - Margin - 96, WindowHeight - 40, 96, 28);

    m_status = new FtpStatusIcon(this);
    m_status->setObjectName(QStringLiteral("SMS"));
    m_status->move(Margin + 300, 344);
    m_status->setState(m_sms.state());
    connect(&m_sms, &notify::SmsClient::stateChanged, m_status, &FtpStatusIcon::setState);

    // OK carries no action: nothing here is stored.
    connect(m_buttons[1], &controls::PushButton::clicked, this, &QDialog::reject);
    connect(m_buttons[2], &controls::PushButton::clicked, this, &SmsSettingsWindow::onTestClicked);
    connect(m_buttons[3], &controls::PushButton::clicked, this,
            &SmsSettingsWindow::onBalanceClicked);

    connect(&m_sms, &notify::SmsClient::balance, this, &SmsSettingsWindow::onBalance);
    connect(&m_sms, &notify::SmsClient::cost, this, &SmsSettingsWindow::onCost);
    connect(&m_sms, &notify::SmsClient::failed, this, &SmsSettingsWindow::onSmsError);

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
    m_capture.pausePreview(on);
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

QUrl SmsSettingsWindow::keyPage() const {
    return QUrl(QStringLiteral("http://") + gatewayDomain() + keyPagePathAndQuery());
}

QString SmsSettingsWindow::messageText() const {
    QString text = m_message->toPlainText();
    text.replace(QLatin1Char('\n'), kCrLf);
    return text;
}

void SmsSettingsWindow::updateCounter() {
    const QString text = messageText();
    m_links[2]->setText(notify::SmsLength::label(text));
    m_links[2]->adjustSize();
}

void SmsSettingsWindow::onTestClicked() {
    m_sms.sendSms(m_phone->text(), testMessage(), m_key->text());
}

void SmsSettingsWindow::onBalanceClicked() {
    m_buttons[3]->setCaption(waitingCaption());
    m_buttons[3]->setEnabledCtrl(false);
    m_balanceLabel->clear();
    m_limitLabel->clear();
    m_sms.requestBalance(m_key->text());
    // Refused because another request is running: nothing will come back to
    // give the button its caption again, so do it now.
    if (m_sms.mode() != 2 && !m_buttons[3]->isEnabled())
        restoreBalanceButton();
}

void SmsSettingsWindow::onCostClicked() {
    const bool balancePending = m_sms.mode() == 2;
    m_sms.requestCost(m_phone->text());
    // The price query replaces a running balance query, whose answer will
    // never come.
    if (balancePending && m_sms.mode() == 3)
        restoreBalanceButton();
}

void SmsSettingsWindow::restoreBalanceButton() {
    m_buttons[3]->setCaption(balanceCaption());
    m_buttons[3]->setEnabledCtrl(true);
}

void SmsSettingsWindow::onKeyHelpClicked() {
    const QString text =
        QStringLiteral("ID это ваш уникальный идентификатор на сайте ") + gatewayDomain() +
        QStringLiteral(". Он нужен для отправки сообщений; скопируйте его на странице сайта из "
                       "оранжевой рамки с заголовком «Уникальный ключ».") +
        kCrLf + kCrLf + QStringLiteral("Открыть страницу с вашим ID (уникальным ключом)?");
    if (m_context.dialogs.message(platform::Dialogs::Icon::Information, kInfo, text,
                                  platform::Dialogs::Buttons::YesNo) ==
        platform::Dialogs::Answer::Yes)
        m_opener.open(keyPage());
}

void SmsSettingsWindow::onLengthHelpClicked() {
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

void SmsSettingsWindow::onBalance(const QString& result) {
    m_balanceLabel->setText(result);
}

void SmsSettingsWindow::onCost(const QString& result) {
    const QString rest = result.mid(2);
    const QString text =
        result.startsWith(QStringLiteral("OK"))
            ? QString(QStringLiteral("Стоимость отправки сообщения на этот номер: ") + rest +
                      QStringLiteral(" руб"))
            : QString(QStringLiteral("Произошла ошибка: ") + rest);
    m_context.dialogs.message(platform::Dialogs::Icon::Information, kInfo, text);
}

void SmsSettingsWindow::onSmsError(const QString& result) {
    m_context.dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                              QStringLiteral("Ошибка при работе с сайтом ") + gatewayDomain() +
                                  kCrLf + kCrLf + result);
    restoreBalanceButton();
}

bool SmsSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const auto* label = qobject_cast<QLabel*>(watched);
        if (label && me->button() == Qt::LeftButton &&
            label->rect().contains(me->position().toPoint())) {
            if (label == m_links[0]) {
                onCostClicked();
                return true;
            }
            if (label == m_links[1]) {
                onKeyHelpClicked();
                return true;
            }
            if (label == m_links[2]) {
                onLengthHelpClicked();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SmsSettingsWindow::paintEvent(QPaintEvent*) {
    // The background: a plain light panel.
    QPainter p(this);
    p.fillRect(rect(), kPanel);
}

} // namespace vigilux::ui
