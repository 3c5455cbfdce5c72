#include "ui/RemoteAccessPage.h"

#include "controls/CheckBox.h"
#include "core/AppContext.h"
#include "core/IniFile.h"
#include "core/SettingsTable.h"
#include "platform/Dialogs.h"
#include "ui/OptionRows.h"
#include "ui/RemoteViewWiring.h"
#include "ui/SettingBinding.h"
#include "web/PasswordHash.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vigilux::ui {

namespace {

using Binding = SettingBinding<core::Settings>;

QLineEdit* lineEdit(const QString& name, QWidget* parent, int width = 260) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setFixedWidth(width);
    return edit;
}

QLabel* selectableLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// "AB:CD:..." in two lines of sixteen bytes, to fit the page.
QString twoLines(const QString& fingerprint) {
    const qsizetype half = 16 * 3;
    return fingerprint.size() > half
               ? fingerprint.left(half - 1) + QLatin1Char('\n') + fingerprint.mid(half)
               : fingerprint;
}

} // namespace

RemoteAccessPage::RemoteAccessPage(AppContext& context, RemoteViewWiring& wiring, QWidget* parent)
    : OptionsPage(parent)
    , m_context(context)
    , m_wiring(wiring) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_on = new controls::CheckBox(this);
    m_on->setObjectName(QStringLiteral("RemoteOn"));
    Binding::bind(m_on, QStringLiteral("RemoteOn"));
    layout->addLayout(optionRow(
        {m_on, new QLabel(QStringLiteral("смотреть камеру с телефона (веб-страница)"), this)}));

    auto* grid = new QGridLayout;
    grid->setContentsMargins(20, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    m_port = optionSpinBox(QStringLiteral("RemotePort"), this);
    m_port->setFixedWidth(72);
    Binding::bind(m_port, QStringLiteral("Port"));
    grid->addWidget(new QLabel(QStringLiteral("порт"), this), 0, 0);
    grid->addWidget(m_port, 0, 1, Qt::AlignLeft);
    m_password = lineEdit(QStringLiteral("RemotePassword"), this, 160);
    m_password->setEchoMode(QLineEdit::Password);
    m_repeat = lineEdit(QStringLiteral("RemotePasswordRepeat"), this, 160);
    m_repeat->setEchoMode(QLineEdit::Password);
    grid->addWidget(new QLabel(QStringLiteral("пароль"), this), 1, 0);
    grid->addWidget(m_password, 1, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("пароль ещё раз"), this), 2, 0);
    grid->addWidget(m_repeat, 2, 1, Qt::AlignLeft);
    m_passwordNote = new QLabel(this);
    m_passwordNote->setObjectName(QStringLiteral("RemotePasswordNote"));
    grid->addWidget(m_passwordNote, 3, 1);
    auto* certificate = lineEdit(QStringLiteral("RemoteCertificate"), this);
    Binding::bind(certificate, QStringLiteral("Certificate"));
    auto* key = lineEdit(QStringLiteral("RemoteKey"), this);
    Binding::bind(key, QStringLiteral("Key"));
    certificate->setPlaceholderText(QStringLiteral("пусто: созданный программой"));
    key->setPlaceholderText(QStringLiteral("пусто: созданный программой"));
    grid->addWidget(new QLabel(QStringLiteral("сертификат (PEM)"), this), 4, 0);
    grid->addWidget(certificate, 4, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("ключ (PEM)"), this), 5, 0);
    grid->addWidget(key, 5, 1, Qt::AlignLeft);
    layout->addLayout(grid);

    auto* localOnly = new controls::CheckBox(this);
    localOnly->setObjectName(QStringLiteral("RemoteLocalOnly"));
    Binding::bind(localOnly, QStringLiteral("LocalOnly"));
    layout->addLayout(
        optionRow({localOnly, new QLabel(QStringLiteral("только локальная сеть"), this)}));

    m_state = selectableLabel(QStringLiteral("RemoteState"), this);
    m_address = selectableLabel(QStringLiteral("RemoteAddress"), this);
    m_fingerprintNote = new QLabel(this);
    m_fingerprint = selectableLabel(QStringLiteral("RemoteFingerprint"), this);
    // Fixed-width, so the pairs line up with what the phone's browser shows.
    m_fingerprint->setFont(QFont(QStringLiteral("monospace"), 8));
    layout->addSpacing(6);
    layout->addWidget(m_state);
    layout->addWidget(m_address);
    layout->addWidget(m_fingerprintNote);
    layout->addWidget(m_fingerprint);
    layout->addStretch(1);
}

QString RemoteAccessPage::caption() const {
    return QStringLiteral("Удалённый доступ");
}

bool RemoteAccessPage::accepts() {
    const QString password = m_password->text();
    QString problem;
    if (password != m_repeat->text())
        problem = QStringLiteral("Пароли удалённого доступа не совпадают");
    else if (!password.isEmpty() && password.size() < MinPasswordLength)
        problem = QStringLiteral("Пароль удалённого доступа должен быть не короче %1 символов")
                      .arg(MinPasswordLength);
    else if (m_on->value() && password.isEmpty() && m_context.settings.remotePasswordHash.isEmpty())
        problem = QStringLiteral("Задайте пароль для удалённого доступа");
    if (problem.isEmpty())
        return true;
    m_context.dialogs.message(platform::Dialogs::Icon::Warning, QStringLiteral("Внимание!"),
                              problem);
    m_password->setFocus();
    return false;
}

void RemoteAccessPage::fillControls() {
    Binding::fill(this, m_context.settings);
    m_password->clear();
    m_repeat->clear();
    showState();
}

void RemoteAccessPage::copyControls() {
    Binding::copy(this, m_context.settings);
    const QString password = m_password->text();
    if (!password.isEmpty()) {
        // Only the hash is ever kept; the typed text leaves the fields now.
        const QByteArray hash = web::PasswordHash::make(password);
        if (!hash.isEmpty())
            m_context.settings.remotePasswordHash = QString::fromLatin1(hash);
    }
    m_password->clear();
    m_repeat->clear();
}

void RemoteAccessPage::save() {
    core::SettingsTable<core::Settings>::save(m_context.ini, m_context.settings,
                                              core::KeyOwner::RemotePage);
    m_wiring.apply();
    showState();
}

void RemoteAccessPage::showState() {
    const core::Settings& s = m_context.settings;
    m_passwordNote->setText(s.remotePasswordHash.isEmpty()
                                ? QStringLiteral("пароль не задан")
                                : QStringLiteral("пароль задан; пустые поля его не меняют"));
    if (m_wiring.isRunning())
        m_state->setText(QStringLiteral("Страница работает. Адрес для телефона:"));
    else if (!m_wiring.error().isEmpty())
        m_state->setText(QStringLiteral("Не запущено: ") + m_wiring.error());
    else
        m_state->setText(s.remoteOn ? QStringLiteral("Будет запущено после OK. Адрес для телефона:")
                                    : QStringLiteral("Выключено. Адрес для телефона:"));
    const QStringList addresses = m_wiring.phoneAddresses();
    m_address->setText(
        addresses.isEmpty()
            ? QStringLiteral("https://<адрес этого компьютера>:%1/").arg(m_wiring.port())
            : addresses.join(QLatin1Char('\n')));
    const QString fingerprint = m_wiring.fingerprint();
    m_fingerprintNote->setText(
        fingerprint.isEmpty()
            ? QStringLiteral("Отпечаток сертификата появится после первого запуска.")
            : QStringLiteral("Отпечаток сертификата (SHA-256), сверьте его в браузере "
                             "телефона:"));
    m_fingerprint->setText(twoLines(fingerprint));
}

} // namespace vigilux::ui
