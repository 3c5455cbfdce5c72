#pragma once

#include "platform/Dialogs.h"

#include <functional>

namespace vigilux::platform {

// Dialogs for runs without any window (replay): each message becomes one
// line of text handed to the sink (standard error in the program), and every
// question gets the answer that changes nothing: Ok for a plain message,
// Cancel and No for questions, "" for the pickers. Never blocks.
class ConsoleDialogs final : public Dialogs {
public:
    using LineSink = std::function<void(const QString& line)>;

    explicit ConsoleDialogs(LineSink sink);

    Answer message(Icon icon, const QString& title, const QString& text,
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString& title, const QString& filter,
                     const QString& defaultExtension) override;
    QString browseFolder(const QString& title) override;

    // "title: text" with line breaks and runs of blanks folded into one space.
    static QString oneLine(const QString& title, const QString& text);

private:
    LineSink m_sink;
};

} // namespace vigilux::platform
