// Module lookup, resource strings and image lists.
#include <gtest/gtest.h>

#include <array>

#include "platform/host/image_list.h"
#include "platform/host/module.h"

namespace host {
namespace {

Bitmap solid(int w, int h, int bpp) {
    return Bitmap{
        w, h, bpp,
        std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * (bpp == 24 ? 3 : 1)), 0x7f)};
}

TEST(HostModule, LoadStringTruncatesAndTerminates) {
    auto module = std::make_unique<Module>(WStr(u"strings.dlt"));
    module->AddString(5, WStr(u"abcdef"));
    const HINSTANCE handle = RegisterModule(std::move(module));
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(LoadStringW(handle, 5, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(LoadStringW(handle, 5, nullptr, 0), 6);
    EXPECT_EQ(LoadStringW(handle, 6, buffer, 4), 0);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(GetModuleHandleW(u"STRINGS.dlt"), handle) << "found by name without case";
    UnregisterModule(handle);
    EXPECT_EQ(GetModuleHandleW(u"strings.dlt"), nullptr);
}

TEST(HostIconList, CutsBitmapsIntoIconsWithMasks) {
    auto module = std::make_unique<Module>(WStr(u"icons.dlt"));
    for (auto [id, width, height, bits] : {std::array{101, 33, 11, 24}, {102, 33, 11, 1}, {103, 32, 11, 24},
                                           {104, 33, 12, 24}, {105, 32, 11, 1}})
        module->AddBitmap(id, solid(width, height, bits));
    const HINSTANCE handle = RegisterModule(std::move(module));
    EXPECT_EQ(LoadBitmapW(handle, 999), nullptr);
    HIMAGELIST list = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 5, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), LoadBitmapW(handle, 102)), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 103), LoadBitmapW(handle, 105)), -1)
        << "not whole images";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 104), LoadBitmapW(handle, 102)), -1)
        << "wrong height";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), nullptr), -1) << "the list needs masks";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), LoadBitmapW(handle, 102)), 3);
    EXPECT_EQ(ImageList_GetImageCount(list), 6);
    EXPECT_EQ(list->images[4].color.pixels.size(), 11u * 11u * 3u);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_Create(0, 11, ILC_COLOR24, 1, 0), nullptr);
    UnregisterModule(handle);
}

}  // namespace
}  // namespace host
