// Image lists of the window system: equally sized images cut from bitmaps, with masks; the
// material browser's icons are handed out as one.
#pragma once

#include <vector>

#include "platform/host/module.h"

namespace host {

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR24 = 0x0018;

class ImageList {
public:
    ImageList(int cx, int cy, UINT flags) : width(cx), height(cy), flags(flags) {}
    struct Image {
        Bitmap color;
        Bitmap mask;
    };
    int width;
    int height;
    UINT flags;
    std::vector<Image> images;
};
using HIMAGELIST = ImageList*;

/// A new list of cx × cy images; null for sizes below 1. `initial` and `grow` are capacity hints.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
/// Cuts `image` into cx-wide images (with the matching parts of `mask` when the list has
/// ILC_MASK) and appends them. Answers the index of the first new image, or -1 when the bitmap
/// is missing, not cy high, not a whole number of images wide, or its mask does not match.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_GetImageCount(HIMAGELIST list);
bool ImageList_Destroy(HIMAGELIST list);

}  // namespace host
