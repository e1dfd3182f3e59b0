#pragma once

// The code page of the digital file. Header only: the validator, which reads
// just the file, and the importer, which warns about what the file cannot
// carry, share it without linking the generator.
namespace gen {

// Unicode of the bytes 0x80..0x9F (0 where the byte is unused).
inline constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a character; 0 when it has none.
constexpr char toWindows1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kWindows1252High[i] == c && c != 0)
            return static_cast<char>(0x80 + i);
    return 0;
}

// The character of a Windows-1252 byte; 0 when the byte is unused.
constexpr char16_t fromWindows1252(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b);
}

} // namespace gen
