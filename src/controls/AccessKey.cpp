#include "controls/AccessKey.h"

namespace vigilux::controls::AccessKey {

QChar keyOf(const QString& caption) {
    const auto amp = QLatin1Char('&');
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != amp)
            continue;
        if (caption.at(i + 1) == amp) {
            ++i; // a literal ampersand
            continue;
        }
        return caption.at(i + 1);
    }
    return {};
}

QString displayText(const QString& caption) {
    const auto amp = QLatin1Char('&');
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) != amp) {
            out.append(caption.at(i));
        } else if (i + 1 < caption.size() && caption.at(i + 1) == amp) {
            out.append(amp);
            ++i;
        }
    }
    return out;
}

} // namespace vigilux::controls::AccessKey
