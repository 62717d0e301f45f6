// PNG encoding with the Windows Imaging Component (windowscodecs), into memory: the encoder
// writes into a stream on movable global memory, whose bytes are then copied out.
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>

#include "platform/png.h"
#include "platform/win32_com.h"

namespace {

bool CopyStream(IStream* stream, std::vector<uint8_t>* out) {
    STATSTG stat;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &memory))) return false;
    const void* bytes = GlobalLock(memory);
    if (bytes == nullptr) return false;
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    out->assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
    GlobalUnlock(memory);
    return true;
}

// The PNG encoder's row filter: "FilterOption" in the frame's option bag.
void SetFilterOption(IPropertyBag2* options, WICPngFilterOption filter) {
    PROPBAG2 name = {};
    name.pstrName = const_cast<LPOLESTR>(L"FilterOption");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI1;
    value.bVal = static_cast<BYTE>(filter);
    options->Write(1, &name, &value);
}

bool Encode(const PngImage& image, bool filterRows, std::vector<uint8_t>* out) {
    const bool indexed = image.colour == kPngIndexed;
    const UINT width = static_cast<UINT>(image.width);
    const UINT height = static_cast<UINT>(image.height);
    Released<IWICImagingFactory> factory;
    Released<IStream> stream;
    Released<IWICBitmapEncoder> encoder;
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    Released<IWICPalette> palette;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream.p)) ||
        FAILED(factory.p->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p)) ||
        FAILED(encoder.p->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(encoder.p->CreateNewFrame(&frame.p, &options.p))) {
        return false;
    }
    // The filter only changes speed and size: a WIC without the option (before Windows 8) still
    // writes correct pixels, so its refusal is no failure.
    SetFilterOption(options.p, filterRows ? WICPngFilterAdaptive : WICPngFilterNone);
    if (FAILED(frame.p->Initialize(options.p)) || FAILED(frame.p->SetSize(width, height))) {
        return false;
    }
    // pHYs: WIC's frame encoder takes the resolution in dots per inch and writes it as pixels
    // per metre (its metadata writer has no pHYs block of its own).
    if (image.pixelsPerMetreX != 0 && image.pixelsPerMetreY != 0 &&
        FAILED(frame.p->SetResolution(image.pixelsPerMetreX * 0.0254,
                                      image.pixelsPerMetreY * 0.0254))) {
        return false;
    }
    // The encoder may answer with another format it prefers, which these pixels are not.
    const WICPixelFormatGUID wanted = !indexed              ? GUID_WICPixelFormat24bppBGR
                                      : image.bitDepth == 4 ? GUID_WICPixelFormat4bppIndexed
                                                            : GUID_WICPixelFormat8bppIndexed;
    WICPixelFormatGUID format = wanted;
    if (FAILED(frame.p->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted)) return false;
    if (indexed) {
        WICColor colours[256];
        for (int32_t i = 0; i < image.paletteSize; ++i) {
            colours[i] = 0xFF000000u | static_cast<WICColor>(image.palette[3 * i]) << 16 |
                         static_cast<WICColor>(image.palette[3 * i + 1]) << 8 |
                         image.palette[3 * i + 2];
        }
        if (FAILED(factory.p->CreatePalette(&palette.p)) ||
            FAILED(palette.p->InitializeCustom(colours, static_cast<UINT>(image.paletteSize))) ||
            FAILED(frame.p->SetPalette(palette.p))) {
            return false;
        }
    }
    // Palette rows are PNG's own bytes; RGB rows go in as blue, green, red.
    const UINT rowBytes = indexed ? (width * static_cast<UINT>(image.bitDepth) + 7) / 8 : width * 3;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes) * height);
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* src = image.pixels.data() + static_cast<size_t>(y) * image.stride;
        uint8_t* dst = rows.data() + static_cast<size_t>(y) * rowBytes;
        if (indexed) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (UINT i = 0; i < rowBytes; i += 3) {
                dst[i] = src[i + 2];
                dst[i + 1] = src[i + 1];
                dst[i + 2] = src[i];
            }
        }
    }
    if (FAILED(frame.p->WritePixels(height, rowBytes, static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(frame.p->Commit()) || FAILED(encoder.p->Commit())) {
        return false;
    }
    return CopyStream(stream.p, out);
}

}  // namespace

bool EncodePng(const PngImage& image, std::vector<uint8_t>* png, const PngCompression& compression) {
    png->clear();
    if (!PngImageValid(image)) return false;
    // WIC has no zlib level to set; only the row filter follows the choice.
    const bool filterRows = PngFilterRows(image, compression);
    // COM for this thread, unless the caller has set it up already (S_FALSE also counts and must
    // be balanced; RPC_E_CHANGED_MODE means another model is in place, which WIC accepts).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ok = Encode(image, filterRows, png);
    if (SUCCEEDED(com)) CoUninitialize();
    if (!ok) png->clear();
    return ok;
}
