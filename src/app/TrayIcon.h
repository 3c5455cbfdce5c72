#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <optional>

namespace vigilux::platform {
class TrayBackend;
}

namespace vigilux::app {

// The program's icon in the notification area: an icon with a tip, balloons
// on it, and its mouse messages turned into activated codes (1 left press,
// 3 left double click, 5 right release or a click on a balloon, ...).
class TrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)
public:
    // `shellMajorVersion` gives the notification area's generation; it
    // decides the record size the calls announce.
    TrayIcon(platform::TrayBackend& backend, std::function<int()> shellMajorVersion,
             QObject* parent = nullptr);

    // Longest tip the notification area shows.
    static constexpr int MaxTipLength = 63;
    static constexpr int MaxBalloonTitle = 63;
    static constexpr int MaxBalloonText = 255;

    // Record size for a shell generation: 6+ -> 504, 5 -> 488, else 88.
    static qint32 notifyDataSizeFor(int shellMajorVersion);

    // The icon handles the owner hands out (idle and watching), registered once.
    void registerIcon(qint32 handle, const QIcon& icon);

    qint32 ownerHandle() const { return m_ownerHandle; }
    void setOwnerHandle(qint32 ownerHandle) { m_ownerHandle = ownerHandle; }
    qint32 icon() const { return m_icon; }
    void setIcon(qint32 handle) { m_icon = handle; }
    QString toolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString& text) { m_toolTipText = text; }
    // Added after the tip whatever it is (the uploads still waiting), and
    // shown at once.
    void setToolTipNote(const QString& note);
    qint32 notifyDataSize() const { return m_notifyDataSize; }
    // True between add() and remove().
    bool isShown() const { return m_shown; }
    bool isAvailable() const;

    void add();
    void modify();
    void showBalloon(const QString& title, const QString& text, qint32 infoFlags);
    void remove();
    // The owner passes every message of the icon: X is the message number,
    // Y is 0 for icon messages.
    void dispatchMessage(double X, double Y);
    // Shows `menu` (a QMenu) with `defaultItem` (a QAction) in bold.
    void popupMenu(QObject* menu, QObject* defaultItem,
                   std::optional<QPoint> position = std::nullopt);

    // The tip as the notification area gets it.
    QString shownTip() const;

signals:
    void activated(qint16 button);

private:
    void probe();
    QIcon iconFor(qint32 handle) const;

    platform::TrayBackend& m_backend;
    std::function<int()> m_shellMajorVersion;
    QHash<qint32, QIcon> m_icons;
    qint32 m_ownerHandle = 0;
    qint32 m_icon = 0;
    QString m_toolTipText;
    QString m_toolTipNote;
    qint32 m_notifyDataSize = 0;
    bool m_shown = false;
};

} // namespace vigilux::app
