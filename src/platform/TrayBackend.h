#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <optional>

namespace vigilux::platform {

// The desktop's notification area. UI thread only.
class TrayBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Messages the icon reports, as the notification area numbers them.
    enum Message : int {
        MouseMove = 0x200,
        LeftButtonDown = 0x201,
        LeftButtonUp = 0x202,
        LeftDoubleClick = 0x203,
        RightButtonDown = 0x204,
        RightButtonUp = 0x205,
        RightDoubleClick = 0x206,
        KeySelect = 0x401,
        BalloonClick = 0x405,
    };

    // False on a desktop without a notification area.
    virtual bool isAvailable() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    virtual void modify(const QIcon& icon, const QString& tip) = 0;
    virtual void remove() = 0;
    // infoFlags: 1 information icon, 2 warning icon.
    virtual void balloon(const QString& title, const QString& text, int infoFlags) = 0;
    // Shows `menu` (a QMenu) at `position` or at the pointer, `defaultItem`
    // (one of its QActions, may be null) in bold.
    virtual void popupMenu(QObject* menu, QObject* defaultItem, std::optional<QPoint> position) = 0;

signals:
    // A mouse or balloon message for the icon.
    void message(int code);
};

} // namespace vigilux::platform
