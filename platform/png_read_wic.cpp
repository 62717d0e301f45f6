// PNG decoding with the Windows Imaging Component, from memory: a WIC stream over the bytes, the
// PNG decoder's first frame converted to 32-bit BGRA (straight alpha), composited over black.
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include "codec/endian.h"
#include "platform/image_read.h"
#include "platform/win32_com.h"

namespace {

// The size an image claims, checked before WIC sees the file: a decoder may allocate the whole
// image from the header as soon as it is initialised.
bool CheckClaim(uint64_t width, uint64_t height, size_t size, std::string* error) {
    const uint64_t pixels = width * height;
    if (!CheckImageSize("PNG", static_cast<int64_t>(width), static_cast<int64_t>(height), error)) {
        return false;
    }
    if (pixels / 8 / 1032 > size) {  // more than deflate can pack into the file
        *error = "the PNG file is too short for the " + std::to_string(width) + " x " +
                 std::to_string(height) + " image it claims";
        return false;
    }
    return true;
}


bool Decode(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    // The first chunk is IHDR: length 13, "IHDR", width, height (big-endian).
    if (size < 33 || memcmp(bytes + 12, "IHDR", 4) != 0) {
        *error = "not a readable PNG file: the file ends too early or has no IHDR chunk first";
        return false;
    }
    if (!CheckClaim(GetBigEndian32(bytes + 16), GetBigEndian32(bytes + 20), size, error)) return false;
    Released<IWICImagingFactory> factory;
    Released<IWICStream> stream;
    Released<IWICBitmapDecoder> decoder;
    Released<IWICBitmapFrameDecode> frame;
    Released<IWICFormatConverter> converter;
    if (size > 0xFFFFFFFFu) {
        *error = "the PNG file is too large";
        return false;
    }
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) ||
        FAILED(factory.p->CreateStream(&stream.p)) ||
        FAILED(stream.p->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size)))) {
        *error = "the PNG decoder could not start";
        return false;
    }
    if (FAILED(factory.p->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder.p)) ||
        FAILED(decoder.p->Initialize(stream.p, WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder.p->GetFrame(0, &frame.p))) {
        *error = "not a readable PNG file";
        return false;
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame.p->GetSize(&width, &height)) || width == 0 || height == 0) {
        *error = "not a readable PNG file";
        return false;
    }
    const uint64_t pixels = uint64_t{width} * height;
    if (!CheckClaim(width, height, size, error)) return false;
    if (FAILED(factory.p->CreateFormatConverter(&converter.p)) ||
        FAILED(converter.p->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA,
                                       WICBitmapDitherTypeNone, nullptr, 0.0,
                                       WICBitmapPaletteTypeCustom))) {
        *error = "the PNG image could not be converted to RGB";
        return false;
    }
    std::vector<uint8_t> bgra(static_cast<size_t>(pixels) * 4);
    if (FAILED(converter.p->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()),
                                       bgra.data()))) {
        *error = "the PNG file is damaged";
        return false;
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->rgb.resize(static_cast<size_t>(pixels) * 3);
    CompositeOverBlack(bgra.data(), static_cast<size_t>(pixels), kLayoutBgra, image->rgb.data());
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    *image = RgbImage{};
    error->clear();
    if (SniffImageFormat(bytes, size) != kImagePng) {
        *error = "not a PNG file";
        return false;
    }
    // COM for this thread, unless the caller has set it up already (S_FALSE also counts and must
    // be balanced; RPC_E_CHANGED_MODE means another model is in place, which WIC accepts).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ok = Decode(bytes, size, image, error);
    if (SUCCEEDED(com)) CoUninitialize();
    if (!ok) *image = RgbImage{};
    return ok;
}

uint64_t PngDecodeBytesPerPixel(bool) { return 11; }
