#pragma once

#include "core/TransferState.h"

#include <QImage>
#include <QWidget>

namespace vigilux::upload {
class FtpClient;
}
namespace vigilux::ui {

// The upload control's face: one of four 16x16 status pictures in a
// 20x20 frame (300 twips), following an FtpClient's (or the SMS client's)
// state. Holds no logic.
class FtpStatusIcon final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpStatusIcon)

public:
    static constexpr int kFrameSize = 20; // 300 twips
    static constexpr int kPictureSize = 16;

    explicit FtpStatusIcon(QWidget* parent = nullptr);

    // Shows the client's current state now and every later change. The
    // client must outlive the connection or be destroyed first (Qt drops it
    // then).
    void follow(const upload::FtpClient& ftp);

    core::TransferState state() const { return m_state; }
    void setState(core::TransferState state);

    // An empty picture for None.
    static QImage picture(core::TransferState state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    core::TransferState m_state = core::TransferState::None;
};

} // namespace vigilux::ui
