#include "video/NetworkSourceForm.h"

#include <QUrl>

#include <algorithm>

namespace vigilux::video {

NetworkSourceForm NetworkSourceForm::from(const CaptureSource& source) {
    NetworkSourceForm f;
    f.address = source.address;
    f.user = source.user;
    f.password = source.password;
    f.transport = source.transport;
    if (source.snapshotIntervalMs > 0)
        f.snapshotMs = std::clamp(source.snapshotIntervalMs, MinSnapshotMs, MaxSnapshotMs);
    return f;
}

QString NetworkSourceForm::scheme() const {
    return QUrl(address.trimmed()).scheme().toLower();
}

bool NetworkSourceForm::transportApplies() const {
    const QString s = scheme();
    return s == QLatin1String("rtsp") || s == QLatin1String("rtsps");
}

bool NetworkSourceForm::snapshotApplies() const {
    const QString s = scheme();
    return s == QLatin1String("http") || s == QLatin1String("https");
}

QString NetworkSourceForm::problem() const {
    if (address.trimmed().isEmpty())
        return QStringLiteral("Введите адрес камеры");
    if (!CaptureSource::isNetworkAddress(address))
        return QStringLiteral("Неверный адрес камеры (нужен rtsp://, rtsps://, http:// или "
                              "https://)");
    return QString();
}

CaptureSource NetworkSourceForm::source() const {
    CaptureSource s = CaptureSource::network(address, user.trimmed(), password);
    s.transport = transportApplies() ? transport : CaptureSource::Transport::Tcp;
    s.snapshotIntervalMs =
        snapshotApplies() ? std::clamp(snapshotMs, MinSnapshotMs, MaxSnapshotMs) : 0;
    return s;
}

} // namespace vigilux::video
