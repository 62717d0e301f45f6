#include "tests/test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/bsave.h"
#include "render/display.h"
#include "render/view.h"

namespace fs = std::filesystem;

std::string ScratchDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("vramoria-test-" + name);
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    std::string s = dir.string();
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

namespace {

Bytes WithHeader(uint8_t type, uint16_t start, uint16_t end, const Bytes& body) {
    Bytes file(7 + body.size());
    const uint8_t header[7] = {type, static_cast<uint8_t>(start), static_cast<uint8_t>(start >> 8),
                               static_cast<uint8_t>(end), static_cast<uint8_t>(end >> 8), 0, 0};
    std::copy(header, header + 7, file.begin());
    std::copy(body.begin(), body.end(), file.begin() + 7);
    return file;
}

}  // namespace

Bytes PlainBsave(uint16_t start, uint16_t end, const Bytes& body) {
    return WithHeader(0xFE, start, end, body);
}

Bytes CompressedBsave(const Bytes& runs) {
    return WithHeader(0xFD, 0, static_cast<uint16_t>(runs.size()), runs);
}

std::string SharedPictures() {
    const char* env = std::getenv("VRAMORIA_PICTURES");
    std::string dir = env != nullptr ? env : VRAMORIA_SHARED_PICTURES;
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : std::string();
}

bool LoadAsConverter(const std::string& path, Picture* picture) {
    const Bytes file = ReadBytes(path);
    return LoadScreenFileBytes(path.c_str(), file.data(), file.size(), picture, nullptr, kAllModes) ==
           kLoadOk;
}

Bytes RenderFullView(const Picture& picture, int32_t* width) {
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    *width = ViewWidth(bitmap, kViewFull);
    Bytes rgb(static_cast<size_t>(*width) * ViewHeight(bitmap, kViewFull) * 3);
    RenderView(bitmap, kViewFull, rgb.data());
    return rgb;
}

double SrgbToLinearReference(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
