#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace vigilux::platform {

// Dialogs shown with QMessageBox and QFileDialog, above every other window
// (the main window is always on top, and a box hidden behind it would freeze
// the program from the user's point of view).
class QtDialogs final : public Dialogs {
public:
    Answer message(Icon icon, const QString& title, const QString& text,
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString& title, const QString& filter,
                     const QString& defaultExtension) override;
    QString browseFolder(const QString& title) override;

    // Turns "name|pattern|name|pattern" into QFileDialog's "name (pattern);;..." form.
    static QString toQtFilter(const QString& filter);
};

} // namespace vigilux::platform
