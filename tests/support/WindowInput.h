#pragma once

#include <QPoint>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace vigilux::test {

// Shows a window and waits until the window system has drawn it.
inline bool showAndWait(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowExposed(&w);
}

// A click as the window system delivers it: the pointer comes over the
// widget (a move inside it first, so it notices the entry), presses and
// releases at its centre.
inline void click(QWidget* w) {
    QWindow* window = w->window()->windowHandle();
    const QPoint at = w->mapTo(w->window(), w->rect().center());
    QTest::mouseMove(window, at + QPoint(1, 0));
    QTest::mouseMove(window, at);
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
}

} // namespace vigilux::test
