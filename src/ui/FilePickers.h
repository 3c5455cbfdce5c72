#pragma once

#include <QString>

class QWidget;

namespace vigilux::platform {
class Dialogs;
}

namespace vigilux::ui {

// The file and folder pickers of the settings windows, over the program's
// dialog service (so tests answer them from a script). UI thread only.
class FilePickers final {
public:
    explicit FilePickers(platform::Dialogs& dialogs);

    // An open-file picker. `filter` is display-name and pattern pairs with
    // "|" between all parts ("Звуки (wav)|*.wav"). Returns the full path, or
    // "" when cancelled.
    QString openFile(const QString& title, const QString& filter, const QString& defaultExtension);

    // A folder picker over `owner`. Returns the folder without a trailing
    // separator (the root stays "/"), or "" when cancelled.
    QString browseFolder(QWidget* owner, const QString& title);

private:
    platform::Dialogs& m_dialogs;
};

} // namespace vigilux::ui
