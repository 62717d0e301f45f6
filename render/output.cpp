// A picture's image files (see output.h).
#include "render/output.h"

#include "codec/bmp_write.h"
#include "codec/png_write.h"
#include "render/indexed_view.h"
#include "render/thumbnail.h"

void EncodeBmpFile(const Picture& picture, const DisplayBitmap& bitmap, std::vector<uint8_t>* bytes) {
    if (picture.blockLines > 0) {
        const ShownPixels shown = ShownView(picture, bitmap, kViewFull);
        EncodeBmpRgb(shown.rgb.data(), shown.width, shown.height, bytes);
        return;
    }
    bytes->assign(bitmap.FileImage(), bitmap.FileImage() + bitmap.FileSize());
}

bool EncodePngFile(const Picture& picture, const DisplayBitmap& bitmap, ViewSize view,
                   std::vector<uint8_t>* bytes) {
    if (picture.blockLines > 0) {
        const ShownPixels shown = ShownView(picture, bitmap, view);
        return EncodePngRgb(shown.rgb.data(), shown.width, shown.height, bytes);
    }
    // The 1:1 pane reads the rows through its own header; the full picture and the doubled
    // pane through the file image's.
    const uint8_t* info = view == kViewSmall ? bitmap.ViewInfo() : bitmap.FileInfo();
    PngImage image;
    return BuildIndexedView(info, bitmap.Rows(), view, &image) && EncodePng(image, bytes);
}

bool EncodeThumbnailFile(const Picture& picture, const DisplayBitmap& bitmap, int32_t size,
                         std::vector<uint8_t>* bytes) {
    const ShownPixels shown = ShownView(picture, bitmap, kViewSmall);
    const Thumbnail thumbnail = MakeThumbnail(shown.rgb.data(), shown.width, shown.height, size);
    return thumbnail.width != 0 &&
           EncodePngRgb(thumbnail.rgb.data(), thumbnail.width, thumbnail.height, bytes);
}
