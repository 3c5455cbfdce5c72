#include "ui/SourceDialog.h"

#include "platform/Dialogs.h"
#include "video/NetworkSourceCheck.h"
#include "video/NetworkSourceForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vigilux::ui {

using video::CaptureSource;
using video::NetworkSourceForm;

namespace {
constexpr QSize CheckPictureSize(320, 180);
}

SourceDialog::SourceDialog(platform::Dialogs& dialogs, const QStringList& cameras,
                           const CaptureSource& current, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_list(new QListWidget(this))
    , m_cameraCount(int(cameras.size()))
    , m_current(current)
    , m_chosen(current) {
    setWindowTitle(QStringLiteral("Источник видео"));
    m_list->setObjectName(QStringLiteral("sourceList"));
    m_list->addItems(cameras);
    m_list->addItem(QStringLiteral("Демонстрационная сцена"));
    m_list->addItem(QStringLiteral("Видеофайл..."));
    m_list->addItem(QStringLiteral("Сетевая камера"));

    // The network camera's fields.
    m_network = new QWidget(this);
    m_network->setObjectName(QStringLiteral("networkFields"));
    m_address = new QLineEdit(m_network);
    m_address->setObjectName(QStringLiteral("networkAddress"));
    m_address->setPlaceholderText(QStringLiteral("rtsp://192.168.1.10:554/stream"));
    m_user = new QLineEdit(m_network);
    m_user->setObjectName(QStringLiteral("networkUser"));
    m_password = new QLineEdit(m_network);
    m_password->setObjectName(QStringLiteral("networkPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_transport = new QComboBox(m_network);
    m_transport->setObjectName(QStringLiteral("networkTransport"));
    m_transport->addItem(QStringLiteral("TCP"));
    m_transport->addItem(QStringLiteral("UDP"));
    m_snapshotMs = new QSpinBox(m_network);
    m_snapshotMs->setObjectName(QStringLiteral("networkSnapshotMs"));
    m_snapshotMs->setRange(NetworkSourceForm::MinSnapshotMs, NetworkSourceForm::MaxSnapshotMs);
    m_snapshotMs->setSingleStep(100);
    m_snapshotMs->setSuffix(QStringLiteral(" мс"));
    m_checkButton = new QPushButton(QStringLiteral("Проверить"), m_network);
    m_checkButton->setObjectName(QStringLiteral("networkCheck"));
    m_checkResult = new QLabel(m_network);
    m_checkResult->setObjectName(QStringLiteral("networkCheckResult"));
    m_checkResult->setWordWrap(true);
    m_checkResult->setMinimumHeight(CheckPictureSize.height());
    m_checkResult->setAlignment(Qt::AlignCenter);
    auto* fields = new QFormLayout(m_network);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->addRow(QStringLiteral("Адрес:"), m_address);
    fields->addRow(QStringLiteral("Пользователь:"), m_user);
    fields->addRow(QStringLiteral("Пароль:"), m_password);
    fields->addRow(QStringLiteral("Передача RTSP:"), m_transport);
    fields->addRow(QStringLiteral("Интервал снимков:"), m_snapshotMs);
    fields->addRow(m_checkButton);
    fields->addRow(m_checkResult);

    const NetworkSourceForm f = NetworkSourceForm::from(current);
    m_address->setText(f.address);
    m_user->setText(f.user);
    m_password->setText(f.password);
    m_transport->setCurrentIndex(f.transport == CaptureSource::Transport::Udp ? 1 : 0);
    m_snapshotMs->setValue(f.snapshotMs);

    switch (current.kind) {
    case CaptureSource::Kind::Camera:
        if (current.index >= 0 && current.index < m_cameraCount)
            m_list->setCurrentRow(current.index);
        break;
    case CaptureSource::Kind::Demo:
        m_list->setCurrentRow(m_cameraCount);
        break;
    case CaptureSource::Kind::VideoFile:
        m_list->setCurrentRow(m_cameraCount + 1);
        break;
    case CaptureSource::Kind::Network:
        m_list->setCurrentRow(networkRow());
        break;
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    ok->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &SourceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SourceDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SourceDialog::accept);
    connect(m_list, &QListWidget::currentRowChanged, this, &SourceDialog::updateNetworkFields);
    connect(m_address, &QLineEdit::textChanged, this, &SourceDialog::updateNetworkFields);
    connect(m_checkButton, &QPushButton::clicked, this, &SourceDialog::check);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(m_network);
    layout->addWidget(buttons);
    updateNetworkFields();
}

// The check in progress, if any, is abandoned with the dialog.
SourceDialog::~SourceDialog() = default;

NetworkSourceForm SourceDialog::form() const {
    NetworkSourceForm f;
    f.address = m_address->text();
    f.user = m_user->text();
    f.password = m_password->text();
    f.transport = m_transport->currentIndex() == 1 ? CaptureSource::Transport::Udp
                                                   : CaptureSource::Transport::Tcp;
    f.snapshotMs = m_snapshotMs->value();
    return f;
}

void SourceDialog::updateNetworkFields() {
    const bool network = m_list->currentRow() == networkRow();
    m_network->setEnabled(network);
    const NetworkSourceForm f = form();
    m_transport->setEnabled(f.transportApplies());
    m_snapshotMs->setEnabled(f.snapshotApplies());
}

void SourceDialog::check() {
    const NetworkSourceForm f = form();
    const QString problem = f.problem();
    if (!problem.isEmpty()) {
        showCheckResult(QImage(), problem);
        return;
    }
    if (!m_check) {
        m_check = new video::NetworkSourceCheck(video::NetworkLimits{}, this);
        connect(m_check, &video::NetworkSourceCheck::finished, this,
                &SourceDialog::showCheckResult);
    }
    m_checkResult->setPixmap(QPixmap());
    m_checkResult->setText(QStringLiteral("Проверка..."));
    m_checkButton->setEnabled(false);
    m_check->start(f.source());
}

void SourceDialog::showCheckResult(const QImage& frame, const QString& error) {
    m_checkButton->setEnabled(true);
    if (frame.isNull()) {
        m_checkResult->setPixmap(QPixmap());
        m_checkResult->setText(error);
        return;
    }
    m_checkResult->setText(QString());
    m_checkResult->setPixmap(QPixmap::fromImage(
        frame.scaled(CheckPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void SourceDialog::accept() {
    const int row = m_list->currentRow();
    if (row < 0)
        return; // nothing chosen: OK does nothing
    if (row < m_cameraCount) {
        m_chosen = CaptureSource::camera(row);
    } else if (row == m_cameraCount) {
        m_chosen = CaptureSource::demo();
    } else if (row == networkRow()) {
        const NetworkSourceForm f = form();
        const QString problem = f.problem();
        if (!problem.isEmpty()) {
            m_dialogs.message(platform::Dialogs::Icon::Warning, QStringLiteral("Сетевая камера"),
                              problem);
            return; // stay in the dialog to fix it
        }
        m_chosen = f.source();
    } else {
        const QString path = m_dialogs.openFile(
            QStringLiteral("Видеофайл"),
            QStringLiteral("Видеофайлы|*.mp4;*.avi;*.mkv;*.mov;*.ogv;*.webm|Все файлы|*.*"),
            QStringLiteral("mp4"));
        if (path.isEmpty())
            return; // picker cancelled: stay in the dialog
        m_chosen = CaptureSource::videoFile(path);
    }
    if (m_chosen.kind != CaptureSource::Kind::Network) {
        // The network camera stays remembered for the next time.
        m_chosen.address = m_current.address;
        m_chosen.user = m_current.user;
        m_chosen.password = m_current.password;
        m_chosen.transport = m_current.transport;
        m_chosen.snapshotIntervalMs = m_current.snapshotIntervalMs;
    }
    QDialog::accept();
}

} // namespace vigilux::ui
