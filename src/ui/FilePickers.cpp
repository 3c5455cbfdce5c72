#include "ui/FilePickers.h"

#include "platform/Dialogs.h"

namespace vigilux::ui {

FilePickers::FilePickers(platform::Dialogs& dialogs)
    : m_dialogs(dialogs) {}

QString FilePickers::openFile(const QString& title, const QString& filter,
                              const QString& defaultExtension) {
    // No length cap: a long path is returned whole rather than cut into a
    // path that names another file.
    return m_dialogs.openFile(title, filter, defaultExtension);
}

QString FilePickers::browseFolder(QWidget* owner, const QString& title) {
    // The dialog service places its pickers over the active window, which is
    // the owner whenever the user could press the button that asks.
    Q_UNUSED(owner)
    QString path = m_dialogs.browseFolder(title);
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    return path;
}

} // namespace vigilux::ui
