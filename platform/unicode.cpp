// UTF-8 <-> UTF-16 (see unicode.h). Written out rather than through MultiByteToWideChar so that
// the rules are the same on every system and under every Wine version, and testable natively.
#include "platform/unicode.h"

#include <cstdint>

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character at text[*i]; advances *i. False for an ill-formed sequence.
bool DecodeUtf8(const unsigned char* text, size_t length, size_t* i, uint32_t* code) {
    const unsigned char lead = text[*i];
    size_t count;
    uint32_t minimum;
    if (lead < 0x80) {
        *code = lead;
        *i += 1;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        count = 1, minimum = 0x80, *code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2, minimum = 0x800, *code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3, minimum = 0x10000, *code = lead & 0x07;
    } else {
        return false;  // a continuation byte, C0/C1 (always overlong) or F5..FF
    }
    if (length - *i <= count) return false;
    for (size_t k = 1; k <= count; ++k) {
        if (!IsContinuation(text[*i + k])) return false;
        *code = (*code << 6) | (text[*i + k] & 0x3F);
    }
    if (*code < minimum || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF)) return false;
    *i += count + 1;
    return true;
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// UTF-16 to UTF-8; an unpaired surrogate fails, or becomes replacement when that is nonzero.
bool ConvertUtf16(const char16_t* text, size_t length, uint32_t replacement, std::string* out) {
    out->clear();
    out->reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            if (replacement == 0) {
                out->clear();
                return false;
            }
            code = replacement;
        }
        AppendUtf8(code, out);
    }
    return true;
}

}  // namespace

bool Utf8ToUtf16(const char* text, size_t length, std::u16string* out) {
    out->clear();
    out->reserve(length);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        uint32_t code;
        if (!DecodeUtf8(bytes, length, &i, &code)) {
            out->clear();
            return false;
        }
        if (code < 0x10000) {
            out->push_back(static_cast<char16_t>(code));
        } else {
            out->push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
    return true;
}

bool Utf16ToUtf8(const char16_t* text, size_t length, std::string* out) {
    return ConvertUtf16(text, length, 0, out);
}

std::string Utf16ToUtf8ForDisplay(const char16_t* text, size_t length) {
    std::string out;
    ConvertUtf16(text, length, 0xFFFD, &out);
    return out;
}

size_t Utf16Units(const char* text, size_t length) {
    size_t units = 0;
    for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(byte)) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

size_t Utf8PrefixLength(const char* text, size_t length, size_t capacity) {
    if (length <= capacity) return length;
    size_t cut = capacity;
    while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) --cut;
    return cut;
}
