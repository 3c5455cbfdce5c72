#include "net/FtpStatusIcon.h"

#include "net/FtpClient.h"

#include <QPainter>
#include <QPainterPath>

namespace vigilux::net {

FtpStatusIcon::FtpStatusIcon(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(kFrameSize, kFrameSize);
}

void FtpStatusIcon::follow(const FtpClient& ftp) {
    connect(&ftp, &FtpClient::stateChanged, this, &FtpStatusIcon::setState);
    setState(ftp.state());
}

void FtpStatusIcon::setState(int state) {
    if (state == m_state)
        return;
    m_state = state;
    update();
}

QImage FtpStatusIcon::picture(int state) {
    QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1.5, 1.5, 13, 13);
    switch (state) {
    case FtpClient::Queued: // hollow grey ring: waiting, and the dark phase of the blink
        p.setPen(QPen(QColor(120, 120, 120), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc);
        break;
    case FtpClient::Working: // filled blue disc with an up arrow
    {
        p.setPen(QPen(QColor(20, 70, 160), 1));
        p.setBrush(QColor(60, 130, 230));
        p.drawEllipse(disc);
        QPainterPath arrow;
        arrow.moveTo(8, 3.5);
        arrow.lineTo(12, 8);
        arrow.lineTo(9.5, 8);
        arrow.lineTo(9.5, 12.5);
        arrow.lineTo(6.5, 12.5);
        arrow.lineTo(6.5, 8);
        arrow.lineTo(4, 8);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrow);
        break;
    }
    case FtpClient::Done: // green disc with a tick
        p.setPen(QPen(QColor(20, 110, 30), 1));
        p.setBrush(QColor(50, 170, 60));
        p.drawEllipse(disc);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
        break;
    case FtpClient::Failed: // red disc with a cross
        p.setPen(QPen(QColor(130, 20, 20), 1));
        p.setBrush(QColor(210, 40, 40));
        p.drawEllipse(disc);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    default:
        break;
    }
    return image;
}

void FtpStatusIcon::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const int offset = (kFrameSize - kPictureSize) / 2;
    p.drawImage(offset, offset, picture(m_state));
}

} // namespace vigilux::net
