// Strict conversions between UTF-8, the form every file name and text has inside the program,
// and UTF-16, the form the Windows "W" functions take. Portable, so that the tests check them
// natively too. Nothing is ever replaced by a look-alike: a sequence that is not well-formed
// makes the conversion fail, and the caller refuses the name with a message.
#pragma once

#include <cstddef>
#include <string>

// UTF-8 to UTF-16. False (out emptied) for bytes that are not well-formed UTF-8: a stray
// continuation byte, a truncated sequence, an overlong form (C0 80, E0 80 80, F0 80 80 80), an
// encoded surrogate (ED A0 80 .. ED BF BF), or a code point above U+10FFFF.
bool Utf8ToUtf16(const char* text, size_t length, std::u16string* out);

// UTF-16 to UTF-8. False (out emptied) for an unpaired surrogate, which NTFS allows in a name
// but no UTF-8 text can hold.
bool Utf16ToUtf8(const char16_t* text, size_t length, std::string* out);

// The same as Utf16ToUtf8, but an unpaired surrogate becomes U+FFFD: only for showing a name
// (a caption), never for reaching a file by it.
std::string Utf16ToUtf8ForDisplay(const char16_t* text, size_t length);

// How many UTF-16 units the UTF-8 text takes (Windows counts MAX_PATH in them): 1 for each
// sequence of up to three bytes, 2 for a four-byte one. Meaningful for well-formed text.
size_t Utf16Units(const char* text, size_t length);

// The longest prefix of text, at most capacity bytes, that ends on a character boundary (for
// cutting a long UTF-8 text without leaving half a character).
size_t Utf8PrefixLength(const char* text, size_t length, size_t capacity);
