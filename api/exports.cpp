// The WebAssembly module's own translation unit: the exported functions live in the vramoria_api
// library, and a static library's members are linked only when something refers to them. This
// table refers to every one, so the linker keeps them (their export names are in the header).
#include "api/vramoria_api.h"
#include "platform/platform.h"

namespace {

using Function = void (*)();

[[maybe_unused]] __attribute__((used)) const Function kExported[] = {
    reinterpret_cast<Function>(&vramoria_session_new),    reinterpret_cast<Function>(&vramoria_session_free),
    reinterpret_cast<Function>(&vramoria_alloc),          reinterpret_cast<Function>(&vramoria_free),
    reinterpret_cast<Function>(&vramoria_load),           reinterpret_cast<Function>(&vramoria_load_palette),
    reinterpret_cast<Function>(&vramoria_select_mode),    reinterpret_cast<Function>(&vramoria_select_palette),
    reinterpret_cast<Function>(&vramoria_convert),        reinterpret_cast<Function>(&vramoria_set_colors),
    reinterpret_cast<Function>(&vramoria_mode),           reinterpret_cast<Function>(&vramoria_palette_slot),
    reinterpret_cast<Function>(&vramoria_slot_available), reinterpret_cast<Function>(&vramoria_conversions),
    reinterpret_cast<Function>(&vramoria_render),         reinterpret_cast<Function>(&vramoria_thumbnail),
    reinterpret_cast<Function>(&vramoria_width),          reinterpret_cast<Function>(&vramoria_height),
    reinterpret_cast<Function>(&vramoria_write),          reinterpret_cast<Function>(&vramoria_output_size),
    reinterpret_cast<Function>(&vramoria_save_extension), reinterpret_cast<Function>(&vramoria_state_json),
    reinterpret_cast<Function>(&vramoria_message),        reinterpret_cast<Function>(&vramoria_import_rgba),
    reinterpret_cast<Function>(&vramoria_import_bmp),      reinterpret_cast<Function>(&vramoria_companion_name),
    reinterpret_cast<Function>(&vramoria_version),        reinterpret_cast<Function>(&vramoria_icon),
    reinterpret_cast<Function>(&vramoria_png_pixel_aspect),
};

}  // namespace

// The one operating-system fact the core asks for, ExtensionOffset's separator: the page passes
// names as the browser gives them, with '/' between a dropped folder's names.
bool IsPathSeparator(char c) { return c == '/'; }
