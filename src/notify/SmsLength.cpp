#include "notify/SmsLength.h"

#include "core/Cp1251.h"

namespace vigilux::notify {

SmsLength::Result SmsLength::count(QStringView text) {
    Result r;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A surrogate pair is one character to the reader.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++r.characters;
        const int code = core::Cp1251::code(c.unicode());
        if (code >= 192 && code <= 255)
            r.russian = true;
    }
    const int single = r.russian ? RussianSingle : LatinSingle;
    const int part = r.russian ? RussianPart : LatinPart;
    r.messages = r.characters <= single ? 1 : (r.characters + part - 1) / part;
    return r;
}

QString SmsLength::label(const Result& result) {
    return QString::number(result.characters) + QStringLiteral(" символов (") +
           QString::number(result.messages) + QStringLiteral("смс)");
}

} // namespace vigilux::notify
