// PNG encoding with the Windows Imaging Component (windowscodecs), into memory: the encoder
// writes into a stream on movable global memory, whose bytes are then copied out.
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>

#include "platform/png.h"

namespace {

// Releases a COM interface at the end of a scope.
template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p != nullptr) p->Release();
    }
};

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

bool Encode(const uint8_t* rgb, UINT width, UINT height, std::vector<uint8_t>* out) {
    Released<IWICImagingFactory> factory;
    Released<IStream> stream;
    Released<IWICBitmapEncoder> encoder;
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream.p)) ||
        FAILED(factory.p->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p)) ||
        FAILED(encoder.p->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(encoder.p->CreateNewFrame(&frame.p, &options.p)) ||
        FAILED(frame.p->Initialize(options.p)) || FAILED(frame.p->SetSize(width, height))) {
        return false;
    }
    // The PNG encoder takes 24-bit pixels in blue, green, red order; it may answer with another
    // format it prefers, which these pixels are not.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame.p->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        return false;
    }
    const UINT stride = width * 3;
    std::vector<uint8_t> bgr(static_cast<size_t>(stride) * height);
    for (size_t i = 0; i < bgr.size(); i += 3) {
        bgr[i] = rgb[i + 2];
        bgr[i + 1] = rgb[i + 1];
        bgr[i + 2] = rgb[i];
    }
    if (FAILED(frame.p->WritePixels(height, stride, static_cast<UINT>(bgr.size()), bgr.data())) ||
        FAILED(frame.p->Commit()) || FAILED(encoder.p->Commit())) {
        return false;
    }
    return CopyStream(stream.p, out);
}

}  // namespace

bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png) {
    png->clear();
    if (width <= 0 || height <= 0) return false;
    // COM for this thread, unless the caller has set it up already (S_FALSE also counts and must
    // be balanced; RPC_E_CHANGED_MODE means another model is in place, which WIC accepts).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ok = Encode(rgb, static_cast<UINT>(width), static_cast<UINT>(height), png);
    if (SUCCEEDED(com)) CoUninitialize();
    if (!ok) png->clear();
    return ok;
}
