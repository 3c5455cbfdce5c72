#include "ui/FormatDialog.h"

#include "platform/Dialogs.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vigilux::ui {

FormatDialog::FormatDialog(video::CaptureDevice& device, platform::Dialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent)
    , m_device(device)
    , m_dialogs(dialogs)
    , m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Формат видео"));
    m_list->setObjectName(QStringLiteral("formatList"));
    const QSize current = device.videoSize();
    const auto formats = device.videoFormats();
    for (const auto& f : formats)
        m_list->addItem(formatText(f));
    for (int i = 0; i < formats.size(); ++i) {
        if (formats[i].size == current) {
            m_list->setCurrentRow(i);
            break;
        }
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FormatDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &FormatDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

QString FormatDialog::formatText(const video::CaptureDevice::VideoFormat& format) {
    return QStringLiteral("%1 x %2, %3, %4 fps")
        .arg(format.size.width())
        .arg(format.size.height())
        .arg(format.pixelFormat, QString::number(format.maxFrameRate, 'g', 4));
}

void FormatDialog::accept() {
    const int row = m_list->currentRow();
    if (row >= 0 && !m_device.setVideoFormat(row)) {
        m_dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                          QStringLiteral("Устройство не принимает этот формат видео."));
        return;
    }
    QDialog::accept();
}

} // namespace vigilux::ui
