#include "platform/host/image_list.h"

namespace host {

namespace {

// Bytes per pixel of a bitmap, 0 when its depth is not one the lists take.
int bytesPerPixel(const Bitmap& b) {
    return b.bitsPerPixel == 24 ? 3 : (b.bitsPerPixel == 1 ? 1 : 0);
}

bool wellFormed(const Bitmap& b) {
    const int bpp = bytesPerPixel(b);
    return bpp > 0 && b.width > 0 && b.height > 0 &&
           b.pixels.size() == static_cast<std::size_t>(b.width) *
                                  static_cast<std::size_t>(b.height) *
                                  static_cast<std::size_t>(bpp);
}

Bitmap cut(const Bitmap& b, int x0, int cx) {
    const int bpp = bytesPerPixel(b);
    Bitmap part{cx, b.height, b.bitsPerPixel, {}};
    part.pixels.reserve(static_cast<std::size_t>(cx) * static_cast<std::size_t>(b.height) *
                        static_cast<std::size_t>(bpp));
    for (int y = 0; y < b.height; ++y) {
        const auto row = b.pixels.begin() + (static_cast<std::ptrdiff_t>(y) * b.width + x0) * bpp;
        part.pixels.insert(part.pixels.end(), row, row + static_cast<std::ptrdiff_t>(cx) * bpp);
    }
    return part;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
    if (cx < 1 || cy < 1) return nullptr;
    return new ImageList(cx, cy, flags);
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    if (list == nullptr || image == nullptr || !wellFormed(*image)) return -1;
    if (image->height != list->height || image->width % list->width != 0) return -1;
    const bool masked = (list->flags & ILC_MASK) != 0;
    if (masked && (mask == nullptr || !wellFormed(*mask) || mask->width != image->width ||
                   mask->height != image->height)) {
        return -1;
    }
    const int first = static_cast<int>(list->images.size());
    for (int x = 0; x < image->width; x += list->width) {
        list->images.push_back(
            {cut(*image, x, list->width), masked ? cut(*mask, x, list->width) : Bitmap{}});
    }
    return first;
}

int ImageList_GetImageCount(HIMAGELIST list) {
    return list == nullptr ? 0 : static_cast<int>(list->images.size());
}

bool ImageList_Destroy(HIMAGELIST list) {
    if (list == nullptr) return false;
    delete list;
    return true;
}

}  // namespace host
