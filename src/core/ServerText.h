#pragma once

#include <QString>
#include <QStringList>

namespace vigilux::core {

// What a server sends back is shown to the user (status line, the last
// error of a channel); it is made safe to show first. No state; any thread.
class ServerText final {
public:
    // Line breaks become one space each run; other control characters and
    // the invisible direction and format marks (which can reorder or hide
    // what the user reads) are removed.
    static QString printable(const QString& text);

    // `text` with each secret of at least 3 characters masked as "***" in
    // every form a server may echo it: any letter case, percent-encoded.
    static QString masked(QString text, const QStringList& secrets);

    // Both, in the order that lets no mark hidden inside a secret save it
    // from the mask.
    static QString shown(const QString& text, const QStringList& secrets) {
        return masked(printable(text), secrets);
    }
};

} // namespace vigilux::core
