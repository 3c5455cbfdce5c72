#include "ui/FtpSettingsWindow.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "ui/FtpStatusIcon.h"
#include "ui/SettingBinding.h"
#include "upload/UploadBacklog.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <utility>

namespace vigilux::ui {

namespace {

using Icon = platform::Dialogs::Icon;

constexpr int WindowWidth = 440;
constexpr int IconSide = 16;
const QColor Panel(234, 234, 234);
const QString TestFileName = QStringLiteral("test.ico");

// The picture the test uploads: a small camera lens.
QImage testPicture() {
    return resources::Pictures::image(QStringLiteral("ftp-test-upload"), QSize(IconSide, IconSide))
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

const QString FtpSettingsWindow::kTestCaption = QStringLiteral("Проверить соединение");
const QString FtpSettingsWindow::kWaitCaption = QStringLiteral("Подождите, идет проверка...");

FtpSettingsWindow::FtpSettingsWindow(AppContext& context, std::function<void()> saveFtp,
                                     QWidget* parent, const upload::UploadBacklog* backlog)
    : QDialog(parent)
    , m_context(context)
    , m_saveFtp(std::move(saveFtp))
    , m_uploadBox(new controls::CheckBox(this))
    , m_pic(new QLabel(this))
    , m_status(new FtpStatusIcon(this))
    , m_backlog(backlog)
    , m_queueLabel(new QLabel(this))
    , m_errorLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("ftpSettingsWindow"));
    setWindowTitle(QStringLiteral("Загрузка изображений на FTP"));
    m_ftp.setObjectName(QStringLiteral("ftp"));
    m_status->setObjectName(QStringLiteral("ftpStatus"));
    m_status->follow(m_ftp);
    connect(&m_ftp, &upload::FtpClient::finished, this, &FtpSettingsWindow::onTestResult);

    m_uploadBox->setObjectName(QStringLiteral("uploadBox"));
    SettingBinding<core::Settings>::bind(m_uploadBox, QStringLiteral("FtpUpload"));
    connect(m_uploadBox, &controls::CheckBox::clicked, this, &FtpSettingsWindow::onUploadToggled);
    auto* checkLabel = new QLabel(QStringLiteral("Загружать изображения на FTP-сервер"), this);
    auto* top = new QHBoxLayout;
    top->addWidget(m_uploadBox);
    top->addWidget(checkLabel, 1);
    top->addWidget(m_status);

    const QStringList captions{QStringLiteral("Адрес сервера:"),
                               QStringLiteral("Удаленный каталог:"), QStringLiteral("Логин:"),
                               QStringLiteral("Пароль:")};
    const QStringList keys{QStringLiteral("FtpServer"), QStringLiteral("FtpFolder"),
                           QStringLiteral("FtpLogin"), QStringLiteral("FtpPass")};
    auto* fields = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(captions.at(i), this);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("field%1").arg(i));
        SettingBinding<core::Settings>::bind(edit, keys.at(i));
        fields->addWidget(label, i, 0);
        fields->addWidget(edit, i, 1);
        m_text[static_cast<std::size_t>(i)] = edit;
    }
    m_text[3]->setEchoMode(QLineEdit::Password);

    auto* note = new QLabel(QStringLiteral("загрузка будет производиться с именами файлов, "
                                           "указанными в настройках программы"),
                            this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);

    m_pic->setObjectName(QStringLiteral("picture"));
    m_pic->setPixmap(QPixmap::fromImage(testPicture()));
    m_pic->setFixedSize(IconSide, IconSide);

    const QStringList buttonCaptions{QStringLiteral("OK"), QStringLiteral("Отмена"), kTestCaption};
    for (int i = 0; i < 3; ++i) {
        auto* b = new controls::PushButton(buttonCaptions.at(i), this);
        b->setObjectName(QStringLiteral("button%1").arg(i));
        b->setCaption(buttonCaptions.at(i));
        b->setFixedSize(i == 2 ? 200 : 90, 28);
        connect(b, &controls::PushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons[static_cast<std::size_t>(i)] = b;
    }
    auto* test = new QHBoxLayout;
    test->addWidget(m_pic);
    test->addWidget(m_buttons[2]);
    test->addStretch();
    m_queueLabel->setObjectName(QStringLiteral("queueLabel"));
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_queueLabel->setFixedWidth(WindowWidth - 32);
    m_errorLabel->setFixedWidth(WindowWidth - 32);
    m_queueLabel->setVisible(m_backlog != nullptr);
    m_errorLabel->setVisible(m_backlog != nullptr);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buttons[0]);
    buttons->addWidget(m_buttons[1]);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addLayout(top);
    layout->addLayout(fields);
    layout->addLayout(test);
    layout->addWidget(note);
    layout->addWidget(m_queueLabel);
    layout->addWidget(m_errorLabel);
    layout->addLayout(buttons);
    note->setFixedWidth(WindowWidth - 32);
    setFixedSize(WindowWidth, layout->sizeHint().height());

    if (!m_context.inTray)
        platform::makeTopmost(*this);

    SettingBinding<core::Settings>::fill(this, m_context.settings);
    // The fields open in the state the box shows, as after a click.
    onUploadToggled();

    if (m_backlog) {
        showBacklog();
        m_backlogTimer.setInterval(1000);
        connect(&m_backlogTimer, &QTimer::timeout, this, &FtpSettingsWindow::showBacklog);
        m_backlogTimer.start();
    }
}

void FtpSettingsWindow::showBacklog() {
    if (!m_backlog)
        return;
    m_queueLabel->setText(QStringLiteral("Изображений в очереди на загрузку: ") +
                          QString::number(m_backlog->waitingCount()));
    const QString error = m_backlog->lastError().simplified();
    const QString text =
        QStringLiteral("Последняя ошибка: ") + (error.isEmpty() ? QStringLiteral("нет") : error);
    // One line; a long error is shortened there and shown whole in the tip.
    m_errorLabel->setText(
        m_errorLabel->fontMetrics().elidedText(text, Qt::ElideRight, m_errorLabel->width()));
    m_errorLabel->setToolTip(text);
}

FtpSettingsWindow::~FtpSettingsWindow() = default;

QString FtpSettingsWindow::testIconPath() {
    const QString temp = qEnvironmentVariable("TEMP");
    return QDir(temp.isEmpty() ? QDir::tempPath() : temp).filePath(TestFileName);
}

bool FtpSettingsWindow::writeTestIcon(const QString& path) {
    return testPicture().save(path, "ICO");
}

void FtpSettingsWindow::onUploadToggled() {
    const bool on = m_uploadBox->value();
    for (QLineEdit* edit : m_text)
        edit->setEnabled(on);
    m_buttons[2]->setEnabledCtrl(on);
    m_status->setVisible(on);
}

void FtpSettingsWindow::onButtonClicked(int index) {
    switch (index) {
    case 0: {
        SettingBinding<core::Settings>::copy(this, m_context.settings);
        m_saveFtp();
        accept();
        break;
    }
    case 1:
        reject();
        break;
    case 2:
        testConnection();
        break;
    default:
        break;
    }
}

void FtpSettingsWindow::setButtonsEnabled(bool enabled) {
    for (controls::PushButton* b : m_buttons)
        b->setEnabledCtrl(enabled);
}

void FtpSettingsWindow::testConnection() {
    setButtonsEnabled(false);
    m_buttons[2]->setCaption(kWaitCaption);

    const QString icon = testIconPath();
    if (!writeTestIcon(icon) || !QFileInfo::exists(icon)) {
        // Say so and give the buttons back rather than leave the window
        // with OK and Отмена disabled.
        m_buttons[2]->setCaption(kTestCaption);
        setButtonsEnabled(true);
        m_context.dialogs.message(Icon::Error, QStringLiteral("Ошибка"),
                                  QStringLiteral("Не удалось записать тестовый файл ") +
                                      QDir::toNativeSeparators(icon));
        return;
    }

    if (!m_text[1]->text().endsWith(QLatin1Char('/')))
        m_text[1]->setText(m_text[1]->text() + QLatin1Char('/'));
    m_ftp.upload(m_text[0]->text(), m_text[2]->text(), m_text[3]->text(), icon,
                 m_text[1]->text() + TestFileName);
}

void FtpSettingsWindow::onTestResult(const core::Status& result) {
    setButtonsEnabled(true);
    m_buttons[2]->setEnabledCtrl(m_uploadBox->value()); // the box may have been cleared meanwhile
    m_buttons[2]->setCaption(kTestCaption);
    if (result)
        m_context.dialogs.message(Icon::Information, QStringLiteral("Тест ОК"),
                                  QStringLiteral("Тест соединения прошел успешно."));
    else
        m_context.dialogs.message(Icon::Error, QStringLiteral("Ошибка FTP"),
                                  QStringLiteral("Ошибка загрузки на FTP.\r\n") + result.error());
}

void FtpSettingsWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

} // namespace vigilux::ui
