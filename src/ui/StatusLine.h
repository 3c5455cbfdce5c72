#pragma once

#include <QString>

namespace vigilux::ui {

class StatusLabel;

// What the main window's status line says. A note about the settings folder
// stands until the next text that matters; texts that only pass by (the
// automatic update check's) do not push it away.
class StatusLine final {
public:
    explicit StatusLine(StatusLabel& label);

    // A text that matters: it replaces whatever stands.
    void show(const QString& text);
    // A text that gives way: not shown while the note stands.
    void showPassing(const QString& text);
    // A text that stands until the next one that matters.
    void showNote(const QString& text);
    QString text() const;
    // Draws the line now, before a wait that would hold up painting.
    void repaintNow();

    StatusLabel& label() const { return m_label; }

private:
    StatusLabel& m_label;
    bool m_noteStanding = false;
};

} // namespace vigilux::ui
