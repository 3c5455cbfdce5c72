#pragma once

#include <QString>

namespace vigilux::platform {

// Message boxes and file/folder pickers. Every modal question the program
// asks goes through here, so tests can record the texts and script answers
// instead of blocking on a real dialog. UI thread only.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;

    // A modal message box; returns the button the user chose.
    virtual Answer message(Icon icon, const QString& title, const QString& text,
                           Buttons buttons = Buttons::Ok) = 0;

    // An open-file picker. `filter` is pairs of display name and pattern with
    // "|" between all parts ("Звуки (*.wav)|*.wav"). Returns the full path,
    // or "" when cancelled.
    virtual QString openFile(const QString& title, const QString& filter,
                             const QString& defaultExtension) = 0;

    // A folder picker. Returns the folder without a trailing separator, or ""
    // when cancelled.
    virtual QString browseFolder(const QString& title) = 0;
};

} // namespace vigilux::platform
