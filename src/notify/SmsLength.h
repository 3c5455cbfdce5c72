#pragma once

#include <QString>
#include <QStringView>

namespace vigilux::notify {

// How many SMS a message text takes. A text with at least one Cyrillic
// letter А..я (Windows-1251 codes 192..255; Ё and ё do not count) goes in
// the 16-bit alphabet: 70 characters in one message, 67 per part when
// split. Any other text: 160, and 153 per part. No upper limit is applied.
class SmsLength {
public:
    struct Result {
        int characters = 0;
        int messages = 1;
        bool russian = false;
    };

    static constexpr int RussianSingle = 70;
    static constexpr int RussianPart = 67;
    static constexpr int LatinSingle = 160;
    static constexpr int LatinPart = 153;

    static Result count(QStringView text);

    // The counter's caption: "N символов (Kсмс)".
    static QString label(const Result& result);
    static QString label(QStringView text) { return label(count(text)); }
};

} // namespace vigilux::notify
