#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

namespace vigilux::test {

// Records every dialog the program asks for and answers from a script, so
// no modal box ever blocks a test.
class FakeDialogs final : public platform::Dialogs {
public:
    struct Message {
        Icon icon;
        QString title;
        QString text;
        Buttons buttons;
        bool modal = true; // false: shown without waiting (notify)
    };
    struct Picker {
        enum Kind { OpenFile, Folder } kind;
        QString title;
        QString filter;
        QString defaultExtension;
    };

    Answer message(Icon icon, const QString& title, const QString& text,
                   Buttons buttons = Buttons::Ok) override;
    void notify(Icon icon, const QString& title, const QString& text) override;
    QString openFile(const QString& title, const QString& filter,
                     const QString& defaultExtension) override;
    QString browseFolder(const QString& title) override;

    // Scripted answers, used in order; when empty: Ok/Yes-less default
    // (Ok for Ok boxes, Cancel for OkCancel, No for YesNo) and "" for pickers.
    QQueue<Answer> answers;
    QQueue<QString> fileAnswers;
    QQueue<QString> folderAnswers;

    QList<Message> messages;
    QList<Picker> pickers;
};

} // namespace vigilux::test
