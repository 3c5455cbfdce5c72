#include "app/TrayIconAndBalloon.h"

#include "platform/TrayBackend.h"

#include <cmath>
#include <utility>

namespace vigilux::app {

TrayIconAndBalloon::TrayIconAndBalloon(platform::TrayBackend& backend,
                                       std::function<int()> shellMajorVersion, QObject* parent)
    : QObject(parent)
    , m_backend(backend)
    , m_shellMajorVersion(std::move(shellMajorVersion)) {
    connect(&m_backend, &platform::TrayBackend::message, this,
            [this](int code) { CallEvent(code, 0); });
}

qint32 TrayIconAndBalloon::NotifyDataSizeFor(int shellMajorVersion) {
    if (shellMajorVersion >= 6)
        return 504;
    if (shellMajorVersion == 5)
        return 488;
    return 88;
}

void TrayIconAndBalloon::registerIcon(qint32 handle, const QIcon& icon) {
    m_icons.insert(handle, icon);
}

bool TrayIconAndBalloon::isAvailable() const {
    return m_backend.isAvailable();
}

void TrayIconAndBalloon::probe() {
    if (m_notifyDataSize == 0)
        m_notifyDataSize = NotifyDataSizeFor(m_shellMajorVersion ? m_shellMajorVersion() : 0);
}

QIcon TrayIconAndBalloon::iconFor(qint32 handle) const {
    return m_icons.value(handle);
}

QString TrayIconAndBalloon::shownTip() const {
    return m_toolTipText.left(MaxTipLength);
}

void TrayIconAndBalloon::Add() {
    probe();
    m_backend.add(iconFor(m_icon), shownTip());
    m_shown = true;
}

void TrayIconAndBalloon::Modify() {
    // The tip and icon are kept even while no icon is shown; applying them
    // then has no visible effect.
    if (m_shown)
        m_backend.modify(iconFor(m_icon), shownTip());
}

void TrayIconAndBalloon::DisplayBalloon(const QString& sTitle, const QString& sText,
                                        qint32 InfoFlags) {
    probe();
    if (m_shown)
        m_backend.balloon(sTitle.left(MaxBalloonTitle), sText.left(MaxBalloonText), InfoFlags);
}

void TrayIconAndBalloon::Delete() {
    m_backend.remove();
    m_shown = false;
}

void TrayIconAndBalloon::CallEvent(double X, double Y) {
    if (Y != 0.0)
        return;
    const auto message = static_cast<qint64>(std::lround(X));
    emit OnIcon(static_cast<qint16>(message & 0xFF));
}

void TrayIconAndBalloon::CallPopupMenu(QObject* menu, QObject* defaultItem,
                                       std::optional<QPoint> position) {
    m_backend.popupMenu(menu, defaultItem, position);
}

} // namespace vigilux::app
