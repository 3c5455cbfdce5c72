#pragma once

#include "platform/TrayBackend.h"

#include <QSystemTrayIcon>

namespace vigilux::platform {

// The notification area through QSystemTrayIcon.
class QtTrayBackend final : public TrayBackend {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtTrayBackend)
public:
    explicit QtTrayBackend(QObject* parent = nullptr);

    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void modify(const QIcon& icon, const QString& tip) override;
    void remove() override;
    void balloon(const QString& title, const QString& text, int infoFlags) override;
    void popupMenu(QObject* menu, QObject* defaultItem, std::optional<QPoint> position) override;

private:
    QSystemTrayIcon m_icon;
};

} // namespace vigilux::platform
