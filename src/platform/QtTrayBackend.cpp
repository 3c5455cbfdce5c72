#include "platform/QtTrayBackend.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

namespace vigilux::platform {

QtTrayBackend::QtTrayBackend(QObject* parent) : TrayBackend(parent)
{
    // Qt reports clicks, not presses: a left click stands for the press the
    // program restores the window on, a context click for the right release
    // that opens the menu.
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        switch (r) {
        case QSystemTrayIcon::Trigger: emit message(LeftButtonDown); break;
        case QSystemTrayIcon::DoubleClick: emit message(LeftDoubleClick); break;
        case QSystemTrayIcon::Context: emit message(RightButtonUp); break;
        default: break;
        }
    });
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, [this] { emit message(BalloonClick); });
}

bool QtTrayBackend::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTrayBackend::add(const QIcon& icon, const QString& tip)
{
    m_icon.setIcon(icon);
    m_icon.setToolTip(tip);
    m_icon.show();
}

void QtTrayBackend::modify(const QIcon& icon, const QString& tip)
{
    m_icon.setIcon(icon);
    m_icon.setToolTip(tip);
}

void QtTrayBackend::remove() { m_icon.hide(); }

void QtTrayBackend::balloon(const QString& title, const QString& text, int infoFlags)
{
    const auto kind = infoFlags == 2   ? QSystemTrayIcon::Warning
                      : infoFlags == 3 ? QSystemTrayIcon::Critical
                                       : QSystemTrayIcon::Information;
    m_icon.showMessage(title, text, kind);
}

void QtTrayBackend::popupMenu(QObject* menu, QObject* defaultItem, std::optional<QPoint> position)
{
    auto* popup = qobject_cast<QMenu*>(menu);
    if (!popup)
        return;
    popup->setDefaultAction(qobject_cast<QAction*>(defaultItem));
    popup->popup(position.value_or(QCursor::pos()));
}

} // namespace vigilux::platform
