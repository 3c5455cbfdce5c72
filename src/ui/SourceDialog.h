#pragma once

#include "video/CaptureSource.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QWidget;

namespace vigilux::platform {
class Dialogs;
}
namespace vigilux::video {
class NetworkSourceCheck;
struct NetworkSourceForm;
} // namespace vigilux::video

namespace vigilux::ui {

// The video source dialog: the machine's cameras by description, then the
// demo scene, "Видеофайл..." which asks for a file on OK, and "Сетевая
// камера" with its address, login, RTSP transport and snapshot interval,
// whose "Проверить" shows one frame or the reason there is none (checked
// off the UI thread). The caller reads chosen() after exec() returned
// Accepted and switches to it. The fields' logic is video::NetworkSourceForm.
class SourceDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceDialog)
public:
    // `cameras`: descriptions in driver-index order (cameraDescriptions()).
    // `current`: the source in use, preselected when listed; its network
    // fields fill the network camera's editors whatever its kind.
    SourceDialog(platform::Dialogs& dialogs, const QStringList& cameras,
                 const video::CaptureSource& current, QWidget* parent = nullptr);
    ~SourceDialog() override;

    video::CaptureSource chosen() const { return m_chosen; }

    void accept() override;

    // Starts the check of what the network fields say.
    void check();
    // The check's answer (public so tests can feed one).
    void showCheckResult(const QImage& frame, const QString& error);

private:
    int networkRow() const { return m_cameraCount + 2; }
    video::NetworkSourceForm form() const;
    void updateNetworkFields();

    platform::Dialogs& m_dialogs;
    QListWidget* m_list;
    int m_cameraCount;
    video::CaptureSource m_current;
    video::CaptureSource m_chosen;
    QWidget* m_network = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_transport = nullptr;
    QSpinBox* m_snapshotMs = nullptr;
    QPushButton* m_checkButton = nullptr;
    QLabel* m_checkResult = nullptr;
    video::NetworkSourceCheck* m_check = nullptr;
};

} // namespace vigilux::ui
