#include "settings/FilePickers.h"

#include "platform/Dialogs.h"

namespace vigilux::settings {

FilePickers::FilePickers(platform::Dialogs& dialogs)
    : m_dialogs(dialogs) {}

QString FilePickers::ShowOpenFile(const QString& Title, const QString& Filter,
                                const QString& DefExt) {
    // No length cap: a long path is returned whole rather than cut into a
    // path that names another file.
    return m_dialogs.openFile(Title, Filter, DefExt);
}

QString FilePickers::BrowseForFolder(QWidget* Owner, const QString& Title) {
    // The dialog service places its pickers over the active window, which is
    // the owner whenever the user could press the button that asks.
    Q_UNUSED(Owner)
    QString path = m_dialogs.browseFolder(Title);
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    return path;
}

} // namespace vigilux::settings
