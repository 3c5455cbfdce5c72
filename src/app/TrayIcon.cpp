#include "app/TrayIcon.h"

#include "platform/TrayBackend.h"

#include <cmath>
#include <utility>

namespace vigilux::app {

TrayIcon::TrayIcon(platform::TrayBackend& backend, std::function<int()> shellMajorVersion,
                   QObject* parent)
    : QObject(parent)
    , m_backend(backend)
    , m_shellMajorVersion(std::move(shellMajorVersion)) {
    connect(&m_backend, &platform::TrayBackend::message, this,
            [this](int code) { dispatchMessage(code, 0); });
}

qint32 TrayIcon::notifyDataSizeFor(int shellMajorVersion) {
    if (shellMajorVersion >= 6)
        return 504;
    if (shellMajorVersion == 5)
        return 488;
    return 88;
}

void TrayIcon::registerIcon(qint32 handle, const QIcon& icon) {
    m_icons.insert(handle, icon);
}

bool TrayIcon::isAvailable() const {
    return m_backend.isAvailable();
}

void TrayIcon::probe() {
    if (m_notifyDataSize == 0)
        m_notifyDataSize = notifyDataSizeFor(m_shellMajorVersion ? m_shellMajorVersion() : 0);
}

QIcon TrayIcon::iconFor(qint32 handle) const {
    return m_icons.value(handle);
}

QString TrayIcon::shownTip() const {
    return QString(m_toolTipText + m_toolTipNote).left(MaxTipLength);
}

void TrayIcon::setToolTipNote(const QString& note) {
    if (note == m_toolTipNote)
        return;
    m_toolTipNote = note;
    modify();
}

void TrayIcon::add() {
    probe();
    m_backend.add(iconFor(m_icon), shownTip());
    m_shown = true;
}

void TrayIcon::modify() {
    // The tip and icon are kept even while no icon is shown; applying them
    // then has no visible effect.
    if (m_shown)
        m_backend.modify(iconFor(m_icon), shownTip());
}

void TrayIcon::showBalloon(const QString& title, const QString& text, qint32 infoFlags) {
    probe();
    if (m_shown)
        m_backend.balloon(title.left(MaxBalloonTitle), text.left(MaxBalloonText), infoFlags);
}

void TrayIcon::remove() {
    m_backend.remove();
    m_shown = false;
}

void TrayIcon::dispatchMessage(double X, double Y) {
    if (Y != 0.0)
        return;
    const auto message = static_cast<qint64>(std::lround(X));
    emit activated(static_cast<qint16>(message & 0xFF));
}

void TrayIcon::popupMenu(QObject* menu, QObject* defaultItem, std::optional<QPoint> position) {
    m_backend.popupMenu(menu, defaultItem, position);
}

} // namespace vigilux::app
