#include "settings/Cp1251.h"

#include <array>

namespace vigilux::settings {

namespace {

// Codes 128..191; 192..255 are А..я in Unicode order. 0x98 is unassigned in the code page; it maps
// to U+0098 so that every code has a character and back.
constexpr std::array<char16_t, 64> High = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021', // 80
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F', // 88
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014', // 90
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F', // 98
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7', // A0
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407', // A8
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7', // B0
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457', // B8
};

} // namespace

int Cp1251::code(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u;
    if (u >= 0x0410 && u <= 0x044F) // А..я
        return 0xC0 + (u - 0x0410);
    for (int i = 0; i < 64; ++i) {
        if (High[static_cast<std::size_t>(i)] == u)
            return 0x80 + i;
    }
    return '?';
}

QChar Cp1251::character(int code) {
    if (code < 0 || code > 255)
        return QChar();
    if (code < 0x80)
        return QChar(static_cast<char16_t>(code));
    if (code >= 0xC0)
        return QChar(static_cast<char16_t>(0x0410 + (code - 0xC0)));
    return QChar(High[static_cast<std::size_t>(code - 0x80)]);
}

} // namespace vigilux::settings
