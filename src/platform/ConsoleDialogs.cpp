#include "platform/ConsoleDialogs.h"

#include <utility>

namespace vigilux::platform {

ConsoleDialogs::ConsoleDialogs(LineSink sink)
    : m_sink(std::move(sink)) {}

QString ConsoleDialogs::oneLine(const QString& title, const QString& text) {
    const QString body = text.simplified();
    if (title.isEmpty())
        return body;
    return title + QStringLiteral(": ") + body;
}

Dialogs::Answer ConsoleDialogs::message(Icon, const QString& title, const QString& text,
                                        Buttons buttons) {
    if (m_sink)
        m_sink(oneLine(title, text));
    switch (buttons) {
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

QString ConsoleDialogs::openFile(const QString& title, const QString&, const QString&) {
    if (m_sink)
        m_sink(oneLine(title, QStringLiteral("(no window: no file chosen)")));
    return QString();
}

QString ConsoleDialogs::browseFolder(const QString& title) {
    if (m_sink)
        m_sink(oneLine(title, QStringLiteral("(no window: no folder chosen)")));
    return QString();
}

} // namespace vigilux::platform
