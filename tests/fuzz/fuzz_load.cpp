// Loading a picture from arbitrary bytes under arbitrary names: the header checks, both body
// forms, the extension rules and the companion palette file of .sr5/.sr7; the same bytes as the
// converter reads them (the pattern modes too) and as a COPY block.
//
// Input: byte 0 picks the name, byte 1 the length of a companion palette file taken from the
// end of the input (0 = none), the rest is the picture file.
#include <cstring>

#include "image/bsave.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kNames[] = {
    "p.sc5", "p.SC6", "p.sc7", "p.sc8", "p.sca", "p.SCC", "p.sr5", "p.SR7", "p.Sr5", "p.sr8",
    "p.srs", "p.bin", "p",     "p.",    "p.sc55", "p.s5", "d.old/p", "P.SR5", "p.ge5", "p.s12",
    "p.sc2", "p.GRP", "p.s04", "p.sc1", "p.sc3",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string dir = FuzzScratch();
    const char* name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
    size_t paletteBytes = data[1];
    const uint8_t* picture = data + 2;
    size_t pictureBytes = size - 2;
    if (paletteBytes > pictureBytes) paletteBytes = pictureBytes;
    pictureBytes -= paletteBytes;

    std::string path = dir + "/" + name;
    static bool folderMade = false;
    if (!folderMade) {
        // A "." in a folder name is no extension.
        folderMade = std::system(("mkdir -p " + dir + "/d.old").c_str()) == 0;
    }
    WriteScratch(path, picture, pictureBytes);
    std::string base = path.substr(0, path.size() - 3);
    std::remove((base + "pl5").c_str());
    std::remove((base + "pl7").c_str());
    std::remove((base + "PL5").c_str());
    if (paletteBytes > 0) {
        bool upper = name[0] == 'P';
        std::string companion = base + (upper ? "PL5" : (path.back() == '7' ? "pl7" : "pl5"));
        WriteScratch(companion, picture + pictureBytes, paletteBytes);
    }

    // A picture loaded before, which a refused file must leave exactly as it is.
    static Picture loaded;
    const Picture before = loaded;
    LoadResult result = LoadScreenFileNamed(path.c_str(), &loaded);
    if (result == kLoadOk) {
        CheckPictureInvariants(loaded);
        CheckDisplayInvariants(loaded, BuildDisplayBitmap(loaded));
    } else {
        FUZZ_CHECK(loaded.data == before.data);  // a refused file changes nothing
        FUZZ_CHECK(loaded.dataSize == before.dataSize && loaded.screenMode == before.screenMode);
        FUZZ_CHECK(loaded.paletteIndex == before.paletteIndex);
    }
    Picture every;
    if (LoadScreenFileBytes(path.c_str(), picture, pictureBytes, &every, nullptr, kAllModes) == kLoadOk) {
        CheckDisplayInvariants(every, BuildDisplayBitmap(every));
    }
    Picture block;
    const ScreenMode blockMode = static_cast<ScreenMode>(data[1] % kBitmapModeCount);
    if (LoadCopyBlockBytes(picture, pictureBytes, blockMode, &block)) {
        FUZZ_CHECK(block.blockLines >= 1 && block.blockLines <= kScreenLines);
        FUZZ_CHECK(block.blockWidth512 >= 1 && block.blockWidth512 <= 512);
        CheckDisplayInvariants(block, BuildDisplayBitmap(block));
    } else {
        FUZZ_CHECK(block.data.empty());
    }
    return 0;
}
