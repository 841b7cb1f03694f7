// The plug-in's string table and icon bitmaps, read through its module as the host reads them.
#include <gtest/gtest.h>

#include "platform/host/image_list.h"
#include "plugin/resources.h"

namespace glitter {
namespace {

TEST(PluginResources, StringTableHoldsEveryTextExactly) {
    const host::HINSTANCE module = registerPluginResources();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(host::GetModuleHandleW(u"KuvoStochasticFlakesMtl2015.dlt"), module);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    const std::pair<int, const char16_t*> expected[] = {
        {6, u"Basic parameters"},
        {9, u"Turn on the stochastic flakes. If this option is switched off, then the underlying continuous distribution is used."},
        {10, u"Number of flakes per unit area in the texture space."},
        {11, u"Modifies the normals' distribution of the flakes. The higher the value, the more the flakes' normals are aligned with the surface normal."},
        {12, u"The angle of the cone, in which the flakes are queried. The more narrow the angle, the sharper the result."},
        {18, u"The subdivisions of a unit square in the texture space. Incrementing this value by one, doubles the flakes accuracy. Use only if you observe squarelike artefacts in zoomed-in regions."},
        {19, u"Turn on the stochastic flakes in the material editor."},
        {20, u"Explicit UVW channel"},
        {21, u"Triplanar from Object XYZ"},
        {22, u"Choose flakes mapping type. Triplanar mapping is recommended only if there is no uv channel."},
        {23, u"Index of the map channel in use."},
        {24, u"Locally scales the flakes pattern."},
        {25, u"Colored flakes parameters"},
        {26, u"Advanced parameters"},
        {27, u"Generate per flake colors with random hue values."},
        {28, u"Generate random saturation for each flake color."},
        {29, u"Generate random lightness for each flake color."},
        {30, u"Flake color saturation, when \"random saturation\" is off."},
        {31, u"Flake color lightness, when \"random lightness\" is off."},
        {32, u"Number of flakes per pixel, below which only discrete flakes are generated and the smooth material is not computed."},
        {33, u"Number of flakes per pixel, above which only the smooth (disabled flakes) material is computed."},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(MaxSDK::GetResourceStringAsMSTR(module, static_cast<host::UINT>(id)), text) << "string " << id;
        EXPECT_EQ(GetPluginString(id), text);
    }
    EXPECT_EQ(module->Strings().size(), std::size(expected)) << "no stray entries";
    EXPECT_TRUE(GetPluginString(7).isNull());
}

TEST(PluginResources, BrowserIconsMakeThreeIconsWithMask) {
    const host::HINSTANCE module = registerPluginResources();
    const host::Bitmap* icons = host::LoadBitmapW(module, kBitmapBrowserIcons);
    const host::Bitmap* mask = host::LoadBitmapW(module, kBitmapBrowserIconsMask);
    ASSERT_TRUE(icons && mask);
    EXPECT_EQ(icons->width, 33);
    EXPECT_EQ(icons->height, 11);
    EXPECT_EQ(icons->bitsPerPixel, 24);
    host::HIMAGELIST list = host::ImageList_Create(11, 11, host::ILC_COLOR24 | host::ILC_MASK, 5, 0);
    EXPECT_EQ(host::ImageList_Add(list, icons, mask), 0);
    EXPECT_EQ(host::ImageList_GetImageCount(list), 3);
    EXPECT_NE(list->images[0].color.pixels, list->images[1].color.pixels) << "inactive and active differ";
    EXPECT_NE(list->images[1].color.pixels, list->images[2].color.pixels) << "active and disabled differ";
    host::ImageList_Destroy(list);
}

}  // namespace
}  // namespace glitter
