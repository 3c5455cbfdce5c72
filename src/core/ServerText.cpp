#include "core/ServerText.h"

#include <QUrl>

namespace vigilux::core {

QString ServerText::printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!inBreak)
                out += QLatin1Char(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        const QChar::Category category = c.category();
        // Format marks (LRM, RLO, isolates, zero-width) and controls.
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        out += c;
    }
    return out;
}

QString ServerText::masked(QString text, const QStringList& secrets) {
    for (const QString& secret : secrets) {
        if (secret.size() < 3)
            continue;
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(secret));
        // Percent-encoded with every byte written as %XX, as some servers
        // echo a path.
        QString everyByte;
        for (const char byte : secret.toUtf8())
            everyByte +=
                QStringLiteral("%%1").arg(static_cast<uchar>(byte), 2, 16, QLatin1Char('0'));
        for (const QString& form : {secret, encoded, everyByte})
            text.replace(form, QStringLiteral("***"), Qt::CaseInsensitive);
    }
    return text;
}

} // namespace vigilux::core
