#pragma once

#include "app/Lifecycle.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace vigilux::ui {

// The program's open top-level windows in the order they were shown, so the
// exit can close them newest first. Watches every window through an
// application-wide event filter; tool tips, menus and other popups do not
// count.
class OpenWindows final : public QObject, public app::WindowStack {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OpenWindows)
public:
    explicit OpenWindows(QObject* parent = nullptr);
    ~OpenWindows() override;

    int count() const override;
    void unload(int index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void prune();

    QList<QPointer<QWidget>> m_windows;
};

} // namespace vigilux::ui
