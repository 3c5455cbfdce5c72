#pragma once

#include "platform/Dialogs.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace vigilux::platform {

// Dialogs shown with QMessageBox and QFileDialog, above every other window
// (the main window is always on top, and a box hidden behind it would freeze
// the program from the user's point of view).
class QtDialogs final : public Dialogs {
public:
    QtDialogs() = default;
    ~QtDialogs() override;
    QtDialogs(const QtDialogs&) = delete;
    QtDialogs& operator=(const QtDialogs&) = delete;

    Answer message(Icon icon, const QString& title, const QString& text,
                   Buttons buttons = Buttons::Ok) override;
    // Shown with show(), not exec(): no nested event loop.
    void notify(Icon icon, const QString& title, const QString& text) override;
    QString openFile(const QString& title, const QString& filter,
                     const QString& defaultExtension) override;
    QString browseFolder(const QString& title) override;

    // Turns "name|pattern|name|pattern" into QFileDialog's "name (pattern);;..." form.
    static QString toQtFilter(const QString& filter);

    // The notice box now open, if any.
    QMessageBox* openNotice() const;

private:
    QPointer<QMessageBox> m_notice;
};

} // namespace vigilux::platform
