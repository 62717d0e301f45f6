// vramoria-convert --info: the picture's header, sizes, mode, palette slots and conversions, as
// aligned text or as JSON.
#include "info/info.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "convert/convert.h"
#include "image/bsave.h"
#include "palette/palette.h"

namespace {

// The length of the well-formed UTF-8 sequence at p (1-4), or 0 where p holds none: a stray
// continuation byte, an overlong form, a surrogate, a code point above U+10FFFF, a cut-off end.
size_t Utf8SequenceLength(const unsigned char* p) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0) return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    }
    return length;
}

// A JSON string of a file name, whatever its bytes: a byte that is not part of well-formed
// UTF-8 becomes U+FFFD, as JSON holds Unicode text only.
void AppendJsonString(std::string* out, const char* s) {
    out->push_back('"');
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        const size_t length = Utf8SequenceLength(p);
        if (length == 0) {
            out->append("\xEF\xBF\xBD");
            ++p;
        } else if (*p == '"' || *p == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(*p++));
        } else if (*p < 0x20 || *p == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", *p++);
            out->append(escaped);
        } else {
            out->append(reinterpret_cast<const char*>(p), length);
            p += length;
        }
    }
    out->push_back('"');
}

const char* LoadedType(const Picture& picture) {
    if (picture.blockLines > 0) return "block";
    if (picture.rawPages > 0) return "raw";
    switch (picture.loadedHeader.type) {
        case kBsavePlain:
            return "plain";
        case kBsaveCompressed:
            return "compressed";
        default:
            return "empty";
    }
}

// A COPY block's width in the current mode's pixels.
int32_t BlockWidth(const Picture& picture) {
    return picture.blockWidth512 * ScreenModeOf(picture.screenMode).width / 512;
}

// The selected palette in the words --palette takes: "standard", "internal", "file palette N
// of M".
std::string SlotDescription(const Picture& picture) {
    if (picture.paletteIndex < kPaletteFileFirst) return SlotName(picture.paletteIndex);
    return "file palette " + SlotName(picture.paletteIndex) + " of " +
           std::to_string(picture.filePaletteCount);
}

// Appends printf-formatted text to *out.
void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string* out, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    const int n = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (n > 0) out->append(line, std::min(static_cast<size_t>(n), sizeof line - 1));
}

// What --info shows of a picture, in both forms.
struct Facts {
    const BsaveHeader& header;
    const char* mode;
    uint32_t conversions;
    char hex[65];       // the current palette's 32 bytes
    std::string slots;  // the available slots, "standard internal 2" (JSON: "0,1,4")
    bool modeByContent;  // --mode auto chose the mode
};

void AppendJson(const std::string& name, const Picture& picture, const Facts& facts,
                std::string* text) {
    std::string out = "{\"file\":";
    AppendJsonString(&out, name.c_str());
    out += ",\"type\":\"" + std::string(LoadedType(picture)) + "\"";
    if (picture.blockLines > 0) {
        out += ",\"blockWidth\":" + std::to_string(BlockWidth(picture));
        out += ",\"blockHeight\":" + std::to_string(picture.blockLines);
    }
    if (picture.rawPages > 0) {
        out += ",\"rawPage\":" + std::to_string(picture.rawPage);
        out += ",\"rawPages\":" + std::to_string(picture.rawPages);
    }
    out += ",\"startAddress\":" + std::to_string(facts.header.startAddress);
    out += ",\"endAddress\":" + std::to_string(facts.header.endAddress);
    out += ",\"dataSize\":" + std::to_string(picture.dataSize);
    out += ",\"imageSize\":" + std::to_string(picture.imageSize);
    out += ",\"missingBytes\":" + std::to_string(picture.missingBytes);
    out += ",\"screenMode\":" + std::to_string(picture.screenMode);
    out += ",\"mode\":\"" + std::string(facts.mode) + "\"";
    if (facts.modeByContent) out += ",\"modeChosenBy\":\"content\"";
    out += ",\"paletteIndex\":" + std::to_string(picture.paletteIndex);
    out += ",\"filePaletteCount\":" + std::to_string(picture.filePaletteCount);
    out += ",\"availableSlots\":[" + facts.slots + "]";
    out += ",\"palette\":\"" + std::string(facts.hex) + "\"";
    out += ",\"conversionTable\":" + std::to_string(facts.conversions) + "}\n";
    text->append(out);
}

void AppendText(const std::string& name, const Picture& picture, const Facts& facts,
                std::string* text) {
    const BsaveHeader& header = facts.header;
    text->append("file:            " + PrintableName(name) + "\n");
    if (picture.blockLines > 0) {
        AppendFormat(text, "type:            block of BASIC's COPY, %d x %d pixels\n",
                     BlockWidth(picture), picture.blockLines);
    } else if (picture.rawPages > 1) {
        AppendFormat(text, "type:            raw VRAM, no header (page %d of pages 0 to %d)\n",
                     picture.rawPage, picture.rawPages - 1);
    } else if (picture.rawPages == 1) {
        text->append("type:            raw VRAM, no header\n");
    } else {
        AppendFormat(text, "type:            %s (start 0x%04X, end 0x%04X)\n",
                     LoadedType(picture), header.startAddress, header.endAddress);
    }
    AppendFormat(text, "data size:       %d bytes\n", picture.dataSize);
    AppendFormat(text, "image size:      %d bytes\n", picture.imageSize);
    if (picture.missingBytes > 0) AppendFormat(text, "missing bytes:   %d\n", picture.missingBytes);
    AppendFormat(text, "mode:            %s (screenMode %d%s)\n", facts.mode, picture.screenMode,
                 facts.modeByContent ? ", chosen by content" : "");
    AppendFormat(text, "palette slot:    %s\n", SlotDescription(picture).c_str());
    AppendFormat(text, "file palettes:   %d\n", picture.filePaletteCount);
    AppendFormat(text, "available slots: %s\n", facts.slots.c_str());
    AppendFormat(text, "palette:         %s\n", facts.hex);
    AppendFormat(text, "conversions:     0x%08X\n", static_cast<unsigned>(facts.conversions));
}

}  // namespace

void FormatInfo(const std::string& name, const Picture& picture, bool json, std::string* text,
                bool modeByContent) {
    Facts facts{picture.loadedHeader, ScreenModeOf(picture.screenMode).name,
                ConversionTableForMode(picture.screenMode), {}, {}, modeByContent};
    const MsxPalette& palette = CurrentPalette(picture);
    for (int i = 0; i < 32; ++i) std::snprintf(facts.hex + 2 * i, 3, "%02x", palette.bytes[i]);
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        if (GetPaletteSlot(picture, slot) == nullptr) continue;
        if (!facts.slots.empty()) facts.slots += json ? "," : " ";
        facts.slots += json ? std::to_string(slot) : SlotName(slot);  // text: --palette's words
    }
    if (json) {
        AppendJson(name, picture, facts, text);
    } else {
        AppendText(name, picture, facts, text);
    }
}

std::string PrintableName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out.push_back(c);
            continue;
        }
        // As ls -b shows them: C escapes where there is one, octal otherwise.
        const char* letter = u >= 7 && u <= 13 ? &"abtnvfr"[u - 7] : nullptr;
        char escaped[8];
        if (letter != nullptr) {
            std::snprintf(escaped, sizeof escaped, "\\%c", *letter);
        } else {
            std::snprintf(escaped, sizeof escaped, "\\%03o", u);
        }
        out += escaped;
    }
    return out;
}

std::string SlotName(int32_t slot) {
    switch (slot) {
        case kPaletteStandard:
            return "standard";
        case kPaletteInternal:
            return "internal";
        default:
            return std::to_string(slot - kPaletteFileFirst);
    }
}
