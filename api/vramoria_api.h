/* The core's C interface, for the web page (compiled to WebAssembly) and its native tests.
   Memory in, memory out: the caller passes bytes and gets bytes back, no file is touched.

   A session holds one picture, as the viewer does, with its mode, palette selection and the
   colours it is shown in. Every function that produces bytes keeps them in the session until
   the next call of the same kind: vramoria_pixels (vramoria_render, vramoria_thumbnail), the
   output (vramoria_write), the text (vramoria_state_json, vramoria_message). The caller
   copies them out. Sizes are in bytes; every pointer the caller passes in stays its own. */
#ifndef VRAMORIA_API_H
#define VRAMORIA_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__wasm__)
#define VRAMORIA_EXPORT(name) __attribute__((export_name(#name)))
#else
#define VRAMORIA_EXPORT(name)
#endif

typedef struct VramoriaSession VramoriaSession;

/* What a load, a palette file or an import came to. */
enum VramoriaResult {
  VRAMORIA_OK = 0,
  VRAMORIA_NOT_BSAVE = 1,     /* an MSX file that does not load: no BSAVE file, no raw dump */
  VRAMORIA_IS_IMAGE = 2,      /* a PNG or BMP picture: it needs importing */
  VRAMORIA_NOT_PALETTE = 3,   /* a palette file shorter than one 32-byte palette */
  VRAMORIA_BAD_IMAGE = 4,     /* an image that cannot be decoded or imported */
  VRAMORIA_UNAVAILABLE = 5,   /* a mode, palette slot or conversion that is not there */
  VRAMORIA_NO_PICTURE = 6,    /* nothing is loaded yet */
};

/* The formats vramoria_write writes. */
enum VramoriaFormat { VRAMORIA_BSAVE = 0, VRAMORIA_BMP = 1, VRAMORIA_PNG = 2 };

/* The views: the picture as saved, the 1:1 pane, the doubled pane. */
enum VramoriaView { VRAMORIA_VIEW_FULL = 0, VRAMORIA_VIEW_SMALL = 1, VRAMORIA_VIEW_LARGE = 2 };

VRAMORIA_EXPORT(vramoria_session_new) VramoriaSession* vramoria_session_new(void);
VRAMORIA_EXPORT(vramoria_session_free) void vramoria_session_free(VramoriaSession* session);

/* Memory for the caller's bytes (the page writes files into it). */
VRAMORIA_EXPORT(vramoria_alloc) uint8_t* vramoria_alloc(size_t size);
VRAMORIA_EXPORT(vramoria_free) void vramoria_free(uint8_t* bytes);

/* Loads a file's bytes as vramoria-convert reads the file `name` (its extension picks the mode):
   a BSAVE picture, plain or compressed, in every mode; a COPY block; a raw VRAM dump.
   companion (companionSize bytes; NULL: none) is the .sr5/.sr7 picture's palette file.
   VRAMORIA_OK replaces the session's picture; anything else changes nothing, and
   vramoria_message says why in the converter's words. After a load that worked,
   vramoria_message holds its warning ("" for none). */
VRAMORIA_EXPORT(vramoria_load)
int32_t vramoria_load(VramoriaSession* session, const char* name, const uint8_t* bytes, size_t size,
                      const uint8_t* companion, size_t companionSize);

/* Loads the palettes of a palette file and selects its first one (VRAMORIA_NOT_PALETTE for a
   file shorter than one palette: nothing changes). */
VRAMORIA_EXPORT(vramoria_load_palette)
int32_t vramoria_load_palette(VramoriaSession* session, const uint8_t* bytes, size_t size);

/* Reads the bytes in mode 0-9 (SCREEN 5, 6, 7, 8, 10/11, 12, 1, 2, 3, 4); nothing is converted. */
VRAMORIA_EXPORT(vramoria_select_mode) int32_t vramoria_select_mode(VramoriaSession* session, int32_t mode);
/* Selects palette slot 0-9 (standard, internal, file palettes 0-7) when it is available. */
VRAMORIA_EXPORT(vramoria_select_palette) int32_t vramoria_select_palette(VramoriaSession* session, int32_t slot);
/* Converts into bitmap mode 0-5 when the current mode offers it. */
VRAMORIA_EXPORT(vramoria_convert) int32_t vramoria_convert(VramoriaSession* session, int32_t mode);
/* 0: the viewer's colours, 1: the machine's (--colors hardware). Rendering only. */
VRAMORIA_EXPORT(vramoria_set_colors) int32_t vramoria_set_colors(VramoriaSession* session, int32_t hardware);

/* The current mode (0-9), palette slot (0-9), whether a slot is available (0/1), and the
   conversions the mode offers (a 4-bit code for each target mode t in bits 4t..4t+3). */
VRAMORIA_EXPORT(vramoria_mode) int32_t vramoria_mode(const VramoriaSession* session);
VRAMORIA_EXPORT(vramoria_palette_slot) int32_t vramoria_palette_slot(const VramoriaSession* session);
VRAMORIA_EXPORT(vramoria_slot_available)
int32_t vramoria_slot_available(const VramoriaSession* session, int32_t slot);
VRAMORIA_EXPORT(vramoria_conversions) uint32_t vramoria_conversions(const VramoriaSession* session);

/* The view's pixels as RGBA, 4 bytes a pixel, top line first (a COPY block: its rectangle);
   vramoria_width and vramoria_height give its size. NULL with nothing loaded. */
VRAMORIA_EXPORT(vramoria_render) const uint8_t* vramoria_render(VramoriaSession* session, int32_t view);
/* The 1:1 pane's picture fitted into size x size (the desktop thumbnailer's), as RGBA. */
VRAMORIA_EXPORT(vramoria_thumbnail) const uint8_t* vramoria_thumbnail(VramoriaSession* session, int32_t size);
VRAMORIA_EXPORT(vramoria_width) int32_t vramoria_width(const VramoriaSession* session);
VRAMORIA_EXPORT(vramoria_height) int32_t vramoria_height(const VramoriaSession* session);

/* A file's bytes as vramoria-convert's -o writes them: BSAVE of the current mode, the BMP, or the
   PNG of a view; vramoria_output_size gives their length. NULL with nothing loaded. */
VRAMORIA_EXPORT(vramoria_write) const uint8_t* vramoria_write(VramoriaSession* session, int32_t format, int32_t view);
VRAMORIA_EXPORT(vramoria_output_size) size_t vramoria_output_size(const VramoriaSession* session);
/* The BSAVE extension of the current mode ("sc5" ... "scc", "sc1" ... "sc4"). */
VRAMORIA_EXPORT(vramoria_save_extension) const char* vramoria_save_extension(const VramoriaSession* session);

/* The state as one JSON object, the fields of vramoria-convert --info --json, for the name
   the picture was loaded or imported under. "" with nothing loaded. */
VRAMORIA_EXPORT(vramoria_state_json) const char* vramoria_state_json(VramoriaSession* session);
/* The name of the palette file a .sr5/.sr7 picture `name` takes as its companion ("" for
   other names), compared without regard to case; kept in the session's text. */
VRAMORIA_EXPORT(vramoria_companion_name)
const char* vramoria_companion_name(VramoriaSession* session, const char* name);
/* The program's icon, Buramo, size x size (a multiple of 16) as RGBA in the session's pixels
   (transparent around it), as the viewer's About box shows it. */
VRAMORIA_EXPORT(vramoria_icon) const uint8_t* vramoria_icon(VramoriaSession* session, int32_t size);
/* The program's version ("1.12"). */
VRAMORIA_EXPORT(vramoria_version) const char* vramoria_version(void);
/* The last failure's or warning's words (see vramoria_load). */
VRAMORIA_EXPORT(vramoria_message) const char* vramoria_message(const VramoriaSession* session);

/* Import, as vramoria-convert --import MODE --fit FIT --dither DITHER: mode 0-5, fit 0-2
   (contain, cover, stretch), dither 0-2 (none, ordered, diffusion). From RGBA pixels (alpha
   composited over black; the page decodes PNG and JPEG with the browser), each pixelAspect
   wide for 1 high (a PNG's: vramoria_png_pixel_aspect), or from a BMP file's bytes (decoded by
   the core, its pixel aspect with it). VRAMORIA_OK replaces the picture, named `name`; anything else
   changes nothing and vramoria_message says why. */
VRAMORIA_EXPORT(vramoria_import_rgba)
int32_t vramoria_import_rgba(VramoriaSession* session, const char* name, const uint8_t* rgba,
                             int32_t width, int32_t height, double pixelAspect, int32_t mode, int32_t fit,
                             int32_t dither);
/* The pixel aspect a PNG file's pHYs chunk declares, as vramoria-convert reads it (1 without). */
VRAMORIA_EXPORT(vramoria_png_pixel_aspect) double vramoria_png_pixel_aspect(const uint8_t* bytes, size_t size);
VRAMORIA_EXPORT(vramoria_import_bmp)
int32_t vramoria_import_bmp(VramoriaSession* session, const char* name, const uint8_t* bytes, size_t size,
                            int32_t mode, int32_t fit, int32_t dither);

#ifdef __cplusplus
}
#endif

#endif
