#pragma once

#include <QImage>
#include <QWidget>

namespace vigilux::upload {
class FtpClient;
}
namespace vigilux::ui {

// The upload control's face: one of four 16x16 status pictures in a
// 20x20 frame (300 twips), following an FtpClient's state. Holds no logic.
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

    int state() const { return m_state; }
    void setState(int state);

    // 1 queued, 2 busy, 3 done, 4 failed; an empty picture otherwise.
    static QImage picture(int state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_state = 0;
};

} // namespace vigilux::ui
