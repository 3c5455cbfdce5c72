#pragma once

#include <QMetaType>
#include <QString>

namespace vigilux::notify {

// The outcome of one attempt to deliver a notification. `error` is a Russian
// text fit for the status line; it never carries a token or a password.
struct NotifyResult {
    bool ok = false;
    QString error;
    // The server asked us to wait this long before the next request (0: no
    // such request).
    qint64 retryAfterMs = 0;
    // Trying again cannot help (the file to send is gone, an address is
    // malformed): the message is dropped at once.
    bool permanent = false;

    static NotifyResult success() { return {true, {}, 0, false}; }
    static NotifyResult failure(const QString& text, bool permanent = false) {
        return {false, text, 0, permanent};
    }
};

} // namespace vigilux::notify

Q_DECLARE_METATYPE(vigilux::notify::NotifyResult)
