#pragma once

#include <QLabel>

namespace vigilux::ui {

// The main window's status line: one line that keeps its whole text
// (text()), shows as much as fits with "…" at the end, and offers the whole
// text as its tip when it had to be shortened.
class StatusLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLabel)
public:
    explicit StatusLabel(QWidget* parent = nullptr);

    // What the line shows now at its width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace vigilux::ui
