#pragma once

#include "video/CaptureDevice.h"

#include <QDialog>

class QListWidget;

namespace vigilux::platform {
class Dialogs;
}

namespace vigilux::ui {

// The video format dialog: lists the device's formats by size, pixel format
// and rate, and applies the chosen one on OK. A format the device refuses
// keeps the dialog open with a message; Cancel changes nothing.
class FormatDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatDialog)
public:
    FormatDialog(video::CaptureDevice& device, platform::Dialogs& dialogs,
                 QWidget* parent = nullptr);

    // "640 x 480, NV12, 30 fps"
    static QString formatText(const video::CaptureDevice::VideoFormat& format);

    void accept() override;

private:
    video::CaptureDevice& m_device;
    platform::Dialogs& m_dialogs;
    QListWidget* m_list;
};

} // namespace vigilux::ui
