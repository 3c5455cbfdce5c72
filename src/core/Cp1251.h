#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vigilux::core {

// The Windows-1251 (Cyrillic) code page, built in because Qt does not
// always ship it. Used where the program speaks the 8-bit Russian code page
// to the outside (gateway requests, the update response) and where a rule
// is stated in its codes (the SMS length counter). Pure functions.
class Cp1251 {
public:
    // Bytes for a text; characters without a code become '?', one per
    // character (a surrogate pair is one character).
    static QByteArray encode(QStringView text);

    // Text for bytes; every byte has a character (0x98, unassigned, maps to
    // U+0098 as the system converter does).
    static QString decode(QByteArrayView bytes);

    // The code of one character (a UTF-16 unit), or -1 when it has none.
    static int code(char16_t c);

    // The character of one code.
    static char16_t character(unsigned char code);
};

} // namespace vigilux::core
