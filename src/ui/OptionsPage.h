#pragma once

#include <QString>
#include <QWidget>

namespace vigilux::ui {

// A page that another part of the program adds to the "Настройки" window
// (ProgramOptionsWindow::addPage). Like the window's own pages it edits the
// settings record only when told to: the window fills it when it opens or
// the defaults come back, and copies it back on OK.
class OptionsPage : public QWidget {
public:
    using QWidget::QWidget;

    // The caption of the page's tab.
    virtual QString caption() const = 0;
    // Checks what is typed before OK copies anything; false keeps the window
    // open, the page having told the user why.
    virtual bool accepts() { return true; }
    // Sets the controls from the settings record.
    virtual void fillControls() = 0;
    // Copies the controls into the settings record.
    virtual void copyControls() = 0;
    // Writes the page's part of the settings, after the record was copied.
    virtual void save() = 0;
};

} // namespace vigilux::ui
