#include "FakeDialogs.h"

namespace vigilux::test {

platform::Dialogs::Answer FakeDialogs::message(Icon icon, const QString& title, const QString& text,
                                               Buttons buttons) {
    messages.append({icon, title, text, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    }
    return Answer::Ok;
}

void FakeDialogs::notify(Icon icon, const QString& title, const QString& text) {
    messages.append({icon, title, text, Buttons::Ok, false});
}

QString FakeDialogs::openFile(const QString& title, const QString& filter,
                              const QString& defaultExtension) {
    pickers.append({Picker::OpenFile, title, filter, defaultExtension});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString FakeDialogs::browseFolder(const QString& title) {
    pickers.append({Picker::Folder, title, QString(), QString()});
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

} // namespace vigilux::test
