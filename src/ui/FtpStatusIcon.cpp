#include "ui/FtpStatusIcon.h"

#include "resources/Pictures.h"
#include "upload/FtpClient.h"

#include <QPainter>

namespace vigilux::ui {

FtpStatusIcon::FtpStatusIcon(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(kFrameSize, kFrameSize);
}

void FtpStatusIcon::follow(const upload::FtpClient& ftp) {
    connect(&ftp, &upload::FtpClient::stateChanged, this, &FtpStatusIcon::setState);
    setState(ftp.state());
}

void FtpStatusIcon::setState(core::TransferState state) {
    if (state == m_state)
        return;
    m_state = state;
    update();
}

QImage FtpStatusIcon::picture(core::TransferState state) {
    using State = core::TransferState;
    const QSize size(kPictureSize, kPictureSize);
    switch (state) {
    case State::Queued: // also the dark phase of the blink
        return resources::Pictures::image(QStringLiteral("ftp-queued"), size);
    case State::Working:
        return resources::Pictures::image(QStringLiteral("ftp-working"), size);
    case State::Done:
        return resources::Pictures::image(QStringLiteral("ftp-done"), size);
    case State::Failed:
        return resources::Pictures::image(QStringLiteral("ftp-failed"), size);
    case State::None:
        break;
    }
    QImage empty(size, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    return empty;
}

void FtpStatusIcon::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const int offset = (kFrameSize - kPictureSize) / 2;
    p.drawImage(offset, offset, picture(m_state));
}

} // namespace vigilux::ui
