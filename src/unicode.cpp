// Tamsel's own Unicode coding. Windows 95 has no UTF-8, NT 4.0 converts too little of it and knows
// no UTF-32, and piped text is checked for UTF-8 anyway: so Tamsel needs none of Windows' own.
#include "unicode.h"

constexpr DWORD Replacement = 0xFFFD;  // stands for what is no character

// A surrogate, or anything beyond U+10FFFF, is no character.
static bool IsCharacter(DWORD c) {
    return c <= 0x10FFFF && c >> 11 != 0xD800 >> 11;
}

static bool IsSecondHalf(DWORD unit) {
    return unit >> 10 == 0xDC00 >> 10;
}

// Writes a character as one UTF-16 unit, or beyond U+FFFF as a surrogate pair; returns what
// follows it.
static WCHAR* PutUtf16(DWORD c, WCHAR* out) {
    if (c >= 0x10000) {
        *out++ = static_cast<WCHAR>(0xD800 | (c - 0x10000) >> 10);
        c = 0xDC00 | (c & 0x3FF);
    }
    *out++ = static_cast<WCHAR>(c);
    return out;
}

DWORD DecodeUtf8(const char* text, DWORD* length, WCHAR* wide, bool cut) {
    static const DWORD Least[] = {0, 0x80, 0x800, 0x10000};  // below: an overlong form
    const BYTE* in = reinterpret_cast<const BYTE*>(text);
    const BYTE* end = in + *length;
    bool wellFormed = true;
    WCHAR* out = wide;
    while (in < end) {
        const BYTE* start = in;
        DWORD c = *in++, more = 0;
        if (c >= 0xC0 && c < 0xF8) {
            more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            c &= 0x3F >> more;
        } else if (c >= 0x80) {
            c = 0xFFFFFFFF;  // a continuation byte, or none at all
        }
        DWORD least = Least[more];
        for (; more && in < end && (*in & 0xC0) == 0x80; --more) c = c << 6 | (*in++ & 0x3F);
        if (more && cut && in == end) {
            *length = static_cast<DWORD>(start - reinterpret_cast<const BYTE*>(text));
            break;
        }
        if (more || c < least || !IsCharacter(c)) {
            c = Replacement;
            wellFormed = false;
        }
        out = PutUtf16(c, out);
    }
    return wellFormed ? static_cast<DWORD>(out - wide) : 0;
}

// Each unit is read before its units are written, and they never take more room than it: so wide
// may be text itself.
DWORD DecodeUtf32(const char* text, DWORD length, WCHAR* wide) {
    const BYTE* in = reinterpret_cast<const BYTE*>(text);
    WCHAR* out = wide;
    for (DWORD i = 0; i + 4 <= length; i += 4) {
        DWORD c = in[i] | in[i + 1] << 8 | in[i + 2] << 16 | static_cast<DWORD>(in[i + 3]) << 24;
        out = PutUtf16(IsCharacter(c) ? c : Replacement, out);
    }
    return static_cast<DWORD>(out - wide);
}

void EncodeUtf8(const WCHAR* wide, char* out) {
    BYTE* o = reinterpret_cast<BYTE*>(out);
    for (; *wide; ++wide) {
        DWORD c = *wide;
        if (IsFirstHalf(c) && IsSecondHalf(wide[1])) {
            c = 0x10000 + ((c & 0x3FF) << 10 | (*++wide & 0x3FF));
        } else if (!IsCharacter(c)) {
            c = Replacement;
        }
        int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        // The first byte says how many follow: 110xxxxx one, 1110xxxx two, 11110xxx three.
        *o++ = static_cast<BYTE>((more ? 0xFF << (7 - more) : 0) | c >> 6 * more);
        while (more--) *o++ = static_cast<BYTE>(0x80 | (c >> 6 * more & 0x3F));
    }
    *o = 0;
}
