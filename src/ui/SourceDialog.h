#pragma once

#include "video/CaptureSource.h"

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace vigilux::platform {
class Dialogs;
}

namespace vigilux::ui {

// The video source dialog: the machine's cameras by description, then the
// demo scene, then "Видеофайл..." which asks for a file on OK. The caller
// reads chosen() after exec() returned Accepted and switches to it.
class SourceDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SourceDialog)
public:
    // `cameras`: descriptions in driver-index order (cameraDescriptions()).
    // `current`: the source in use, preselected when listed.
    SourceDialog(platform::Dialogs& dialogs, const QStringList& cameras,
                 const video::CaptureSource& current, QWidget* parent = nullptr);

    video::CaptureSource chosen() const { return m_chosen; }

    void accept() override;

private:
    platform::Dialogs& m_dialogs;
    QListWidget* m_list;
    int m_cameraCount;
    video::CaptureSource m_chosen;
};

} // namespace vigilux::ui
