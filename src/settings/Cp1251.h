#pragma once

#include <QChar>

namespace vigilux::settings {

// Windows-1251 character codes, which the password's file form is built
// from. A table of our own: the Qt in use may offer no such codec.
class Cp1251 final {
public:
    Cp1251() = delete;

    // The code (0..255) of a character; 63 ("?") for one the code page lacks,
    // as the platform's conversion substitutes.
    static int code(QChar c);

    // The character with a code; codes outside 0..255 give a null QChar.
    static QChar character(int code);
};

} // namespace vigilux::settings
