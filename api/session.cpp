// The core's C interface (see vramoria_api.h): one picture and its views, memory in and out.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/vramoria_api.h"
#include "codec/bmp.h"
#include "codec/image.h"
#include "convert/convert.h"
#include "image/bsave.h"
#include "image/msx_file.h"
#include "import/import.h"
#include "info/info.h"
#include "render/display.h"
#include "render/output.h"
#include "render/thumbnail.h"
#include "render/view.h"
#include "tools/icon_art.h"
#include "vramoria_version.h"

struct VramoriaSession {
    bool loaded = false;
    std::string name;
    Picture picture;
    DisplayBitmap bitmap;
    ColourMapping colours = kViewerColours;
    std::vector<uint8_t> pixels;  // the last render or thumbnail, RGBA
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> output;  // the last file written
    std::string text;             // the last state
    std::string message;          // the last failure or warning
};

namespace {

// What the viewer does after every change of mode, palette or bytes.
void Rebuild(VramoriaSession* session) {
    session->bitmap = BuildDisplayBitmap(session->picture, session->colours);
}

void Take(VramoriaSession* session, const std::string& name, Picture&& picture) {
    session->name = name;
    session->picture = std::move(picture);
    session->loaded = true;
    Rebuild(session);
}

// RGB pixels into the session's RGBA pixels.
const uint8_t* KeepPixels(VramoriaSession* session, const uint8_t* rgb, int32_t width, int32_t height) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    session->pixels.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(&session->pixels[4 * i], rgb + 3 * i, 3);
        session->pixels[4 * i + 3] = 255;
    }
    session->width = width;
    session->height = height;
    return session->pixels.data();
}

bool ValidImport(int32_t mode, int32_t fit, int32_t dither) {
    return mode >= 0 && mode < kBitmapModeCount && fit >= kFitContain && fit <= kFitStretch &&
           dither >= kDitherNone && dither <= kDitherDiffusion;
}

int32_t Import(VramoriaSession* session, const char* name, const RgbImage& image, int32_t mode,
               int32_t fit, int32_t dither) {
    const ImportOptions options{static_cast<FitMode>(fit), static_cast<DitherMode>(dither)};
    const ScreenMode screen = static_cast<ScreenMode>(mode);
    Take(session, name, ImportedPicture(
        ImportImage(image.rgb.data(), image.width, image.height, screen, options, image.pixelAspect), screen));
    session->message = image.warning;
    return VRAMORIA_OK;
}

}  // namespace

VramoriaSession* vramoria_session_new(void) { return new VramoriaSession; }

void vramoria_session_free(VramoriaSession* session) { delete session; }

uint8_t* vramoria_alloc(size_t size) { return static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1)); }

void vramoria_free(uint8_t* bytes) { std::free(bytes); }

int32_t vramoria_load(VramoriaSession* session, const char* name, const uint8_t* bytes, size_t size,
                      const uint8_t* companion, size_t companionSize) {
    if (SniffImageFormat(bytes, size) != kImageUnknown) {
        session->message = SniffImageFormat(bytes, size) == kImagePng ? "a PNG picture" : "a BMP picture";
        session->message += ": add --import M (5, 6, 7, 8, 10 or 12) to import it into SCREEN M";
        return VRAMORIA_IS_IMAGE;
    }
    // What vramoria-convert reads of a file: a BSAVE picture's first bytes, a raw dump's first MiB.
    const size_t limit = StartsLikeBsave(bytes, size) ? static_cast<size_t>(kBsaveMaxFileBytes) : kRawDumpMaxBytes;
    const std::vector<uint8_t> file(bytes, bytes + std::min(size, limit));
    std::vector<uint8_t> palette;
    if (companion != nullptr) {
        palette.assign(companion, companion + std::min(companionSize, static_cast<size_t>(kPaletteFileReadBytes)));
    }
    Picture picture;
    std::string failure;
    if (!LoadMsxFileBytes(name, file, MsxReading{}, companion != nullptr ? &palette : nullptr, &picture, &failure)) {
        session->message = failure;
        return VRAMORIA_NOT_BSAVE;
    }
    session->message = LoadWarning(picture);
    Take(session, name, std::move(picture));
    return VRAMORIA_OK;
}

int32_t vramoria_load_palette(VramoriaSession* session, const uint8_t* bytes, size_t size) {
    if (!session->loaded) return VRAMORIA_NO_PICTURE;
    if (!LoadPaletteBytes(&session->picture, bytes, std::min(size, static_cast<size_t>(kPaletteFileReadBytes)))) {
        session->message = "not a palette file (shorter than one 32-byte palette)";
        return VRAMORIA_NOT_PALETTE;
    }
    Rebuild(session);
    return VRAMORIA_OK;
}

int32_t vramoria_select_mode(VramoriaSession* session, int32_t mode) {
    if (!session->loaded) return VRAMORIA_NO_PICTURE;
    if (!SelectScreenMode(&session->picture, mode)) return VRAMORIA_UNAVAILABLE;
    Rebuild(session);
    return VRAMORIA_OK;
}

int32_t vramoria_select_palette(VramoriaSession* session, int32_t slot) {
    if (!session->loaded) return VRAMORIA_NO_PICTURE;
    if (!SelectPaletteSlot(&session->picture, slot)) return VRAMORIA_UNAVAILABLE;
    Rebuild(session);
    return VRAMORIA_OK;
}

int32_t vramoria_convert(VramoriaSession* session, int32_t mode) {
    if (!session->loaded) return VRAMORIA_NO_PICTURE;
    if (mode < 0 || mode >= kBitmapModeCount || !ConvertToMode(&session->picture, mode)) return VRAMORIA_UNAVAILABLE;
    Rebuild(session);
    return VRAMORIA_OK;
}

int32_t vramoria_set_colors(VramoriaSession* session, int32_t hardware) {
    session->colours = hardware != 0 ? kHardwareColours : kViewerColours;
    if (session->loaded) Rebuild(session);
    return VRAMORIA_OK;
}

int32_t vramoria_mode(const VramoriaSession* session) { return session->picture.screenMode; }

int32_t vramoria_palette_slot(const VramoriaSession* session) { return session->picture.paletteIndex; }

int32_t vramoria_slot_available(const VramoriaSession* session, int32_t slot) {
    return session->loaded && GetPaletteSlot(session->picture, slot) != nullptr ? 1 : 0;
}

uint32_t vramoria_conversions(const VramoriaSession* session) {
    return session->loaded ? ConversionTableForMode(session->picture.screenMode) : 0;
}

const uint8_t* vramoria_render(VramoriaSession* session, int32_t view) {
    if (!session->loaded || view < kViewFull || view > kViewLarge) return nullptr;
    const ShownPixels shown = ShownView(session->picture, session->bitmap, static_cast<ViewSize>(view));
    return KeepPixels(session, shown.rgb.data(), shown.width, shown.height);
}

const uint8_t* vramoria_thumbnail(VramoriaSession* session, int32_t size) {
    if (!session->loaded) return nullptr;
    const ShownPixels shown = ShownView(session->picture, session->bitmap, kViewSmall);
    const Thumbnail thumbnail = MakeThumbnail(shown.rgb.data(), shown.width, shown.height, size);
    if (thumbnail.width == 0) return nullptr;
    return KeepPixels(session, thumbnail.rgb.data(), thumbnail.width, thumbnail.height);
}

int32_t vramoria_width(const VramoriaSession* session) { return session->width; }

int32_t vramoria_height(const VramoriaSession* session) { return session->height; }

const uint8_t* vramoria_write(VramoriaSession* session, int32_t format, int32_t view) {
    session->output.clear();
    if (!session->loaded) return nullptr;
    switch (format) {
        case VRAMORIA_BSAVE:
            session->output.resize(static_cast<size_t>(BsaveFileSize(session->picture.screenMode)));
            BuildBsaveImage(session->picture, session->output.data());
            break;
        case VRAMORIA_BMP:
            EncodeBmpFile(session->picture, session->bitmap, &session->output);
            break;
        case VRAMORIA_PNG:
            if (view < kViewFull || view > kViewLarge ||
                !EncodePngFile(session->picture, session->bitmap, static_cast<ViewSize>(view), &session->output)) {
                session->output.clear();
                return nullptr;
            }
            break;
        default:
            return nullptr;
    }
    return session->output.data();
}

size_t vramoria_output_size(const VramoriaSession* session) { return session->output.size(); }

const char* vramoria_save_extension(const VramoriaSession* session) {
    return ScreenModeOf(session->picture.screenMode).saveExtension;
}

const char* vramoria_state_json(VramoriaSession* session) {
    session->text.clear();
    if (session->loaded) {
        FormatInfo(session->name, session->picture, true, &session->text);
        if (!session->text.empty() && session->text.back() == '\n') session->text.pop_back();
    }
    return session->text.c_str();
}

const char* vramoria_companion_name(VramoriaSession* session, const char* name) {
    session->text = CompanionPaletteName(name);
    return session->text.c_str();
}

const uint8_t* vramoria_icon(VramoriaSession* session, int32_t size) {
    if (size < 16 || size > 256 || size % 16 != 0) return nullptr;
    const int32_t scale = size / 16;
    session->pixels.assign(static_cast<size_t>(size) * size * 4, 0);
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            const icon_art::Colour* colour = icon_art::CellColour(icon_art::kBuramo, x / scale, y / scale);
            if (colour == nullptr) continue;
            uint8_t* p = &session->pixels[(static_cast<size_t>(y) * size + x) * 4];
            p[0] = colour->r;
            p[1] = colour->g;
            p[2] = colour->b;
            p[3] = 255;
        }
    }
    session->width = size;
    session->height = size;
    return session->pixels.data();
}

const char* vramoria_version(void) { return kVramoriaVersion; }

double vramoria_png_pixel_aspect(const uint8_t* bytes, size_t size) { return PngPixelAspect(bytes, size); }

const char* vramoria_message(const VramoriaSession* session) { return session->message.c_str(); }

int32_t vramoria_import_rgba(VramoriaSession* session, const char* name, const uint8_t* rgba,
                             int32_t width, int32_t height, double pixelAspect, int32_t mode, int32_t fit,
                             int32_t dither) {
    if (!ValidImport(mode, fit, dither)) return VRAMORIA_UNAVAILABLE;
    if (width < 1 || height < 1) {
        session->message = "the image has no pixels";
        return VRAMORIA_BAD_IMAGE;
    }
    if (!CheckImageSize("decoded", width, height, &session->message)) return VRAMORIA_BAD_IMAGE;
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixelAspect = pixelAspect;
    image.rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    CompositeOverBlack(rgba, static_cast<size_t>(width) * static_cast<size_t>(height), kLayoutRgba, image.rgb.data());
    return Import(session, name, image, mode, fit, dither);
}

int32_t vramoria_import_bmp(VramoriaSession* session, const char* name, const uint8_t* bytes, size_t size,
                            int32_t mode, int32_t fit, int32_t dither) {
    if (!ValidImport(mode, fit, dither)) return VRAMORIA_UNAVAILABLE;
    RgbImage image;
    if (SniffImageFormat(bytes, size) != kImageBmp) {
        session->message = std::string("not a BMP file: ") +
                           (size == 0 ? "it is empty" : "it does not start with the signature of one");
        return VRAMORIA_BAD_IMAGE;
    }
    if (!DecodeBmp(bytes, size, &image, &session->message)) return VRAMORIA_BAD_IMAGE;
    return Import(session, name, image, mode, fit, dither);
}
