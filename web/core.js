// The core, compiled to WebAssembly (vramoria.wasm), and a JavaScript face for its C interface
// (api/vramoria_api.h). One Session is one picture with its mode, palettes and colours.

const decoder = new TextDecoder();
const encoder = new TextEncoder();

// The module imports only what libc++ names of WASI and never calls with our code's paths
// (nothing is printed, no file is opened): each answers "not supported".
function wasiStubs(memory) {
  const unsupported = () => 52;  // ENOSYS
  return new Proxy({}, {
    get: (target, name) => {
      if (name === 'proc_exit') return (code) => { throw new Error(`the core exited (${code})`); };
      if (name === 'fd_write') {
        // Bytes written to standard error would only be a crash report: counted and dropped.
        return (fd, iovs, count, written) => {
          const view = new DataView(memory().buffer);
          let total = 0;
          for (let i = 0; i < count; i++) total += view.getUint32(iovs + 8 * i + 4, true);
          view.setUint32(written, total, true);
          return 0;
        };
      }
      return unsupported;
    },
  });
}

export class Core {
  static async load(url = new URL('vramoria.wasm', import.meta.url)) {
    const bytes = await (await fetch(url)).arrayBuffer();
    let instance = null;
    const module = await WebAssembly.instantiate(bytes, {
      wasi_snapshot_preview1: wasiStubs(() => instance.exports.memory),
    });
    instance = module.instance;
    instance.exports._initialize();
    return new Core(instance.exports);
  }

  constructor(exports) {
    this.x = exports;
    this.version = this.string(exports.vramoria_version());
  }

  bytes(pointer, size) { return new Uint8Array(this.x.memory.buffer, pointer, size); }

  string(pointer) {
    const memory = new Uint8Array(this.x.memory.buffer);
    let end = pointer;
    while (memory[end] !== 0) end++;
    return decoder.decode(memory.subarray(pointer, end));
  }

  // Copies bytes (a Uint8Array) or a string (UTF-8, NUL-ended) into the module's memory for
  // one call; fn gets the pointer and the size and its result is returned.
  withBytes(data, fn) {
    const size = data.length;
    const pointer = this.x.vramoria_alloc(size);
    if (pointer === 0) throw new Error('out of memory');
    this.bytes(pointer, size).set(data);
    try {
      return fn(pointer, size);
    } finally {
      this.x.vramoria_free(pointer);
    }
  }

  withString(text, fn) {
    const utf8 = encoder.encode(text);
    const data = new Uint8Array(utf8.length + 1);
    data.set(utf8);
    return this.withBytes(data, (pointer) => fn(pointer));
  }

  session() { return new Session(this); }
}

export const Result = { OK: 0, NOT_BSAVE: 1, IS_IMAGE: 2, NOT_PALETTE: 3, BAD_IMAGE: 4, UNAVAILABLE: 5, NO_PICTURE: 6 };
export const Format = { BSAVE: 0, BMP: 1, PNG: 2 };
export const View = { FULL: 0, SMALL: 1, LARGE: 2 };

export class Session {
  constructor(core) {
    this.core = core;
    this.x = core.x;
    this.handle = this.x.vramoria_session_new();
  }

  free() { this.x.vramoria_session_free(this.handle); this.handle = 0; }

  // bytes and companion are Uint8Arrays (companion null: none).
  load(name, bytes, companion = null) {
    const c = this.core;
    return c.withString(name, (namePointer) => c.withBytes(bytes, (pointer, size) => {
      if (!companion) return this.x.vramoria_load(this.handle, namePointer, pointer, size, 0, 0);
      return c.withBytes(companion, (cp, cs) => this.x.vramoria_load(this.handle, namePointer, pointer, size, cp, cs));
    }));
  }

  loadPalette(bytes) {
    return this.core.withBytes(bytes, (pointer, size) => this.x.vramoria_load_palette(this.handle, pointer, size));
  }

  selectMode(mode) { return this.x.vramoria_select_mode(this.handle, mode); }
  selectPalette(slot) { return this.x.vramoria_select_palette(this.handle, slot); }
  convert(mode) { return this.x.vramoria_convert(this.handle, mode); }
  setColors(hardware) { return this.x.vramoria_set_colors(this.handle, hardware ? 1 : 0); }
  get mode() { return this.x.vramoria_mode(this.handle); }
  get paletteSlot() { return this.x.vramoria_palette_slot(this.handle); }
  slotAvailable(slot) { return this.x.vramoria_slot_available(this.handle, slot) !== 0; }
  // The conversion code to bitmap mode t (0: not offered).
  conversion(target) { return (this.x.vramoria_conversions(this.handle) >>> (4 * target)) & 15; }
  get message() { return this.core.string(this.x.vramoria_message(this.handle)); }
  get saveExtension() { return this.core.string(this.x.vramoria_save_extension(this.handle)); }
  companionName(name) {
    return this.core.withString(name, (pointer) => this.core.string(this.x.vramoria_companion_name(this.handle, pointer)));
  }

  state() {
    const text = this.core.string(this.x.vramoria_state_json(this.handle));
    return text ? JSON.parse(text) : null;
  }

  // RGBA pixels: {width, height, data (a Uint8ClampedArray copy)}, or null.
  pixels(pointer) {
    if (pointer === 0) return null;
    const width = this.x.vramoria_width(this.handle);
    const height = this.x.vramoria_height(this.handle);
    const data = new Uint8ClampedArray(this.core.bytes(pointer, width * height * 4));
    return { width, height, data };
  }

  // The program's icon, size x size RGBA.
  icon(size) { return this.pixels(this.x.vramoria_icon(this.handle, size)); }

  render(view) { return this.pixels(this.x.vramoria_render(this.handle, view)); }
  thumbnail(size) { return this.pixels(this.x.vramoria_thumbnail(this.handle, size)); }

  // A file's bytes (a Uint8Array copy), or null.
  write(format, view = View.FULL) {
    const pointer = this.x.vramoria_write(this.handle, format, view);
    if (pointer === 0) return null;
    return this.core.bytes(pointer, this.x.vramoria_output_size(this.handle)).slice();
  }

  // image: {width, height, data (RGBA)}; file: the PNG's bytes for the pixel aspect it declares
  // (null: square pixels).
  importRgba(name, image, file, mode, fit, dither) {
    const c = this.core;
    const aspect = file ? c.withBytes(file, (pointer, size) => this.x.vramoria_png_pixel_aspect(pointer, size)) : 1;
    return c.withString(name, (namePointer) => c.withBytes(image.data, (pointer) =>
      this.x.vramoria_import_rgba(this.handle, namePointer, pointer, image.width, image.height, aspect, mode, fit,
                                  dither)));
  }

  importBmp(name, bytes, mode, fit, dither) {
    const c = this.core;
    return c.withString(name, (namePointer) => c.withBytes(bytes, (pointer, size) =>
      this.x.vramoria_import_bmp(this.handle, namePointer, pointer, size, mode, fit, dither)));
  }
}
