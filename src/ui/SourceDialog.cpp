#include "ui/SourceDialog.h"

#include "platform/Dialogs.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vigilux::ui {

using video::CaptureSource;

SourceDialog::SourceDialog(platform::Dialogs& dialogs, const QStringList& cameras,
                           const CaptureSource& current, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_list(new QListWidget(this))
    , m_cameraCount(int(cameras.size()))
    , m_chosen(current) {
    setWindowTitle(QStringLiteral("Источник видео"));
    m_list->setObjectName(QStringLiteral("sourceList"));
    m_list->addItems(cameras);
    m_list->addItem(QStringLiteral("Демонстрационная сцена"));
    m_list->addItem(QStringLiteral("Видеофайл..."));
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
        break; // chosen on the command line; the list has no row for it yet
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SourceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SourceDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SourceDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

void SourceDialog::accept() {
    const int row = m_list->currentRow();
    if (row < 0)
        return; // nothing chosen: OK does nothing
    if (row < m_cameraCount) {
        m_chosen = CaptureSource::camera(row);
    } else if (row == m_cameraCount) {
        m_chosen = CaptureSource::demo();
    } else {
        const QString path = m_dialogs.openFile(
            QStringLiteral("Видеофайл"),
            QStringLiteral("Видеофайлы|*.mp4;*.avi;*.mkv;*.mov;*.ogv;*.webm|Все файлы|*.*"),
            QStringLiteral("mp4"));
        if (path.isEmpty())
            return; // picker cancelled: stay in the dialog
        m_chosen = CaptureSource::videoFile(path);
    }
    QDialog::accept();
}

} // namespace vigilux::ui
