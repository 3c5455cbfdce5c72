#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

namespace vigilux::ui {

// Keeps a menu item enabled exactly while a widget is: a tray menu item
// never offers what its button refuses. Lives as long as the widget.
class EnabledMirror final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnabledMirror)
public:
    EnabledMirror(QWidget& source, QAction& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sync();

    QWidget& m_source;
    QPointer<QAction> m_target;
};

} // namespace vigilux::ui
