#include "ui/NotifySettingsPage.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/NotifyOptions.h"
#include "platform/Dialogs.h"
#include "ui/SettingBinding.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace vigilux::ui {

namespace {

using Icon = platform::Dialogs::Icon;
using Binding = SettingBinding<core::NotifySettings>;

constexpr int FieldWidth = 300;

std::size_t at(NotifyChannel channel) {
    return static_cast<std::size_t>(channel);
}

controls::CheckBox* checkRow(QGridLayout* grid, int row, const QString& caption, QWidget* page) {
    auto* line = new QWidget(page);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* box = new controls::CheckBox(line);
    layout->addWidget(box);
    layout->addWidget(new QLabel(caption, line));
    layout->addStretch(1);
    grid->addWidget(line, row, 0, 1, 2);
    return box;
}

} // namespace

const QString NotifySettingsPage::TestCaption = QStringLiteral("Проверить");
const QString NotifySettingsPage::WaitCaption = QStringLiteral("Ждите...");

NotifySettingsPage::NotifySettingsPage(AppContext& context, core::NotifyOptions& options,
                                       std::function<QString(NotifyChannel)> lastError,
                                       QWidget* parent)
    : ui::OptionsPage(parent)
    , m_context(context)
    , m_options(options)
    , m_lastError(std::move(lastError)) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    int row = 0;

    m_telegramOn = checkRow(grid, row++, QStringLiteral("отправлять сообщения в Telegram"), this);
    m_api = addLine(grid, row++, QStringLiteral("адрес Bot API"), QStringLiteral("TelegramApi"));
    m_token =
        addLine(grid, row++, QStringLiteral("токен бота"), QStringLiteral("TelegramToken"), true);
    m_chat = addLine(grid, row++, QStringLiteral("чат (chat_id)"), QStringLiteral("TelegramChat"));
    m_clips = checkRow(grid, row++, QStringLiteral("отправлять видео события"), this);
    const int telegramTestRow = row++;

    m_mailOn = checkRow(grid, row++, QStringLiteral("отправлять сообщения по e-mail"), this);
    m_server = addLine(grid, row++, QStringLiteral("сервер SMTP"), QStringLiteral("SmtpServer"));
    auto* portRow = new QHBoxLayout;
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("SmtpPort"));
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(QStringLiteral("обычный"));
    m_security = new QComboBox(this);
    m_security->setObjectName(QStringLiteral("SmtpSecurity"));
    m_security->addItems(
        {QStringLiteral("без шифрования"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    portRow->addWidget(m_port);
    portRow->addWidget(new QLabel(QStringLiteral("защита"), this));
    portRow->addWidget(m_security);
    portRow->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("порт"), this), row, 0);
    grid->addLayout(portRow, row++, 1);
    m_login = addLine(grid, row++, QStringLiteral("логин"), QStringLiteral("SmtpLogin"));
    m_password =
        addLine(grid, row++, QStringLiteral("пароль"), QStringLiteral("SmtpPassword"), true);
    m_from = addLine(grid, row++, QStringLiteral("отправитель"), QStringLiteral("MailFrom"));
    m_to = addLine(grid, row++, QStringLiteral("получатели"), QStringLiteral("MailTo"));
    m_to->setToolTip(QStringLiteral("Адреса через запятую"));
    m_caFile =
        addLine(grid, row++, QStringLiteral("свой сертификат (CA)"), QStringLiteral("SmtpCaFile"));
    m_caFile->setToolTip(
        QStringLiteral("Файл PEM для сервера с сертификатом собственного изготовления"));
    auto* clipRow = new QWidget(this);
    auto* clipLayout = new QHBoxLayout(clipRow);
    clipLayout->setContentsMargins(0, 0, 0, 0);
    clipLayout->setSpacing(6);
    m_mailClip = new controls::CheckBox(clipRow);
    m_mailClipMb = new QSpinBox(clipRow);
    clipLayout->addWidget(m_mailClip);
    clipLayout->addWidget(new QLabel(QStringLiteral("прикладывать видео не больше"), clipRow));
    clipLayout->addWidget(m_mailClipMb);
    clipLayout->addWidget(new QLabel(QStringLiteral("МБ"), clipRow));
    clipLayout->addStretch(1);
    grid->addWidget(clipRow, row++, 0, 1, 2);
    const int mailTestRow = row++;

    for (NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail}) {
        auto* button = new controls::PushButton(TestCaption, this);
        button->setObjectName(channel == NotifyChannel::Telegram ? QStringLiteral("TestTelegram")
                                                                 : QStringLiteral("TestMail"));
        button->setButtonStyle(3);
        button->setFixedSize(100, 24);
        auto* error = new QLabel(this);
        error->setWordWrap(true);
        error->setFixedWidth(FieldWidth);
        const int testRow = channel == NotifyChannel::Telegram ? telegramTestRow : mailTestRow;
        grid->addWidget(button, testRow, 0, Qt::AlignTop);
        grid->addWidget(error, testRow, 1);
        m_test[at(channel)] = button;
        m_error[at(channel)] = error;
        connect(button, &controls::PushButton::clicked, this,
                [this, channel] { onTestClicked(channel); });
    }
    const std::initializer_list<std::pair<QObject*, const char*>> keys{
        {m_telegramOn, "TelegramOn"},
        {m_api, "TelegramApi"},
        {m_token, "TelegramToken"},
        {m_chat, "TelegramChat"},
        {m_clips, "SendClips"},
        {m_mailOn, "MailOn"},
        {m_server, "SmtpServer"},
        {m_port, "SmtpPort"},
        {m_security, "SmtpSecurity"},
        {m_login, "SmtpLogin"},
        {m_password, "SmtpPass"},
        {m_from, "MailFrom"},
        {m_to, "MailTo"},
        {m_caFile, "SmtpCaFile"},
        {m_mailClip, "MailClip"},
        {m_mailClipMb, "MailClipMaxMb"}};
    for (const auto& [editor, key] : keys)
        Binding::bind(editor, QString::fromLatin1(key));
    connect(&m_tester, &NotifyTestSender::finished, this, &NotifySettingsPage::onTestFinished);
    for (controls::CheckBox* box : {m_telegramOn, m_mailOn, m_mailClip})
        connect(box, &controls::CheckBox::clicked, this, &NotifySettingsPage::followChecks);
    fillControls();
}

NotifySettingsPage::~NotifySettingsPage() = default;

QLineEdit* NotifySettingsPage::addLine(QGridLayout* grid, int row, const QString& caption,
                                       const QString& name, bool secret) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setFixedWidth(FieldWidth);
    if (secret)
        edit->setEchoMode(QLineEdit::Password);
    grid->addWidget(new QLabel(caption, this), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QString NotifySettingsPage::caption() const {
    return QStringLiteral("Уведомления");
}

void NotifySettingsPage::fillControls() {
    Binding::fill(this, m_context.settings.notify);
    followChecks();
    showLastErrors();
}

core::NotifySettings NotifySettingsPage::typed() const {
    core::NotifySettings s = m_context.settings.notify;
    Binding::copy(this, s);
    return s;
}

void NotifySettingsPage::copyControls() {
    m_context.settings.notify = typed();
}

void NotifySettingsPage::save() {
    m_options.save();
}

void NotifySettingsPage::followChecks() {
    const bool telegram = m_telegramOn->value();
    for (QWidget* w : std::initializer_list<QWidget*>{m_api, m_token, m_chat, m_clips})
        w->setEnabled(telegram);
    const bool mail = m_mailOn->value();
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_server, m_port, m_security, m_login, m_password, m_from, m_to, m_caFile, m_mailClip})
        w->setEnabled(mail);
    m_mailClipMb->setEnabled(mail && m_mailClip->value());
    // A test needs no switched-on channel: the user tries before relying.
    for (NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail})
        m_test[at(channel)]->setEnabledCtrl(!m_tester.isBusy(channel));
}

void NotifySettingsPage::showLastErrors() {
    for (NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail}) {
        const QString error = m_lastError ? m_lastError(channel) : QString();
        m_error[at(channel)]->setText(error.isEmpty()
                                          ? QStringLiteral("ошибок доставки не было")
                                          : QStringLiteral("последняя ошибка: ") + error);
    }
}

void NotifySettingsPage::onTestClicked(NotifyChannel channel) {
    if (m_tester.isBusy(channel))
        return;
    m_test[at(channel)]->setCaption(WaitCaption);
    m_test[at(channel)]->setEnabledCtrl(false);
    m_tester.send(channel, typed());
}

void NotifySettingsPage::onTestFinished(NotifyChannel channel, const NotifyResult& result) {
    m_test[at(channel)]->setCaption(TestCaption);
    m_test[at(channel)]->setEnabledCtrl(true);
    const QString name = NotifyQueue::channelName(channel);
    if (result.ok)
        m_context.dialogs.message(
            Icon::Information, QStringLiteral("Тест ОК"),
            QStringLiteral("Проверочное сообщение отправлено (%1).").arg(name));
    else
        m_context.dialogs.message(Icon::Error, QStringLiteral("Ошибка ") + name,
                                  QStringLiteral("Проверочное сообщение не отправлено.\r\n") +
                                      result.error);
    showLastErrors();
}

} // namespace vigilux::ui
