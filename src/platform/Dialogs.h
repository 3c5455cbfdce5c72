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

    // A message box the program does not wait for: returns at once, the box
    // stays until the user closes it. For errors met while capturing, where
    // a modal loop would hold up the frames. At most one such box is open: a
    // later notice replaces the text of the one still shown. The default
    // waits like message(), for dialogs that have no other way.
    virtual void notify(Icon icon, const QString& title, const QString& text);

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
