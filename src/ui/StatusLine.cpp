#include "ui/StatusLine.h"

#include "ui/StatusLabel.h"

namespace vigilux::ui {

StatusLine::StatusLine(StatusLabel& label)
    : m_label(label) {}

void StatusLine::show(const QString& text) {
    m_noteStanding = false;
    m_label.setText(text);
}

void StatusLine::showPassing(const QString& text) {
    if (!m_noteStanding)
        m_label.setText(text);
}

void StatusLine::showNote(const QString& text) {
    show(text);
    m_noteStanding = true;
}

QString StatusLine::text() const {
    return m_label.text();
}

void StatusLine::repaintNow() {
    m_label.repaint();
}

} // namespace vigilux::ui
