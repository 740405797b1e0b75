// Tamsel's own Unicode coding: UTF-8 both ways and UTF-32 to UTF-16, by one set of rules for
// sequences and surrogates.
#ifndef TAMSEL_UNICODE_H
#define TAMSEL_UNICODE_H

#include "platform/platform.h"

// Whether a UTF-16 unit is the first half of a surrogate pair.
inline bool IsFirstHalf(DWORD unit) {
    return unit >> 10 == 0xD800 >> 10;
}

// Decodes *length bytes of UTF-8 into wide, which has room for a unit a byte. A byte that starts
// no well-formed character (RFC 3629: no overlong forms, no surrogates, nothing beyond U+10FFFF)
// gives U+FFFD; in a text that was cut, a character that runs into its end is left out, and
// *length becomes the bytes decoded. Returns the UTF-16 units made, 0 when a byte was not
// well-formed.
DWORD DecodeUtf8(const char* text, DWORD* length, WCHAR* wide, bool cut);

// Decodes the whole 4-byte units of length bytes of UTF-32LE into wide, which may be text itself:
// a value beyond U+FFFF as a surrogate pair, one that is no character (a surrogate, or beyond
// U+10FFFF) as U+FFFD. Returns the UTF-16 units made.
DWORD DecodeUtf32(const char* text, DWORD length, WCHAR* wide);

// Encodes the zero-terminated UTF-16 text wide as zero-terminated UTF-8 into out, which has room
// for 3 bytes a unit and the zero. A surrogate that is not half of a pair gives U+FFFD.
void EncodeUtf8(const WCHAR* wide, char* out);

#endif
