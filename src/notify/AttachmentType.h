#pragma once

#include <QByteArray>
#include <QString>

namespace vigilux::notify {

// The MIME type a notification gives a file it carries, from the name's
// extension (saved pictures and event clips; anything else is plain bytes).
class AttachmentType {
public:
    static QByteArray of(const QString& path);
};

} // namespace vigilux::notify
