#include "plugin/resources.h"

#include <memory>
#include <mutex>

namespace glitter {

namespace {

struct StringEntry {
    int id;
    const char16_t* text;
};

constexpr StringEntry kStrings[] = {
    {kStrBasicParameters, u"Basic parameters"},
    {kStrEnableFlakesTip,
     u"Turn on the stochastic flakes. If this option is switched off, then the underlying continuous "
     u"distribution is used."},
    {kStrNumFlakesTip, u"Number of flakes per unit area in the texture space."},
    {kStrHilightGlossinessTip,
     u"Modifies the normals' distribution of the flakes. The higher the value, the more the flakes' "
     u"normals are aligned with the surface normal."},
    {kStrBlurAngleTip,
     u"The angle of the cone, in which the flakes are queried. The more narrow the angle, the sharper "
     u"the result."},
    {kStrTextureSubdivsTip,
     u"The subdivisions of a unit square in the texture space. Incrementing this value by one, doubles "
     u"the flakes accuracy. Use only if you observe squarelike artefacts in zoomed-in regions."},
    {kStrEnableFlakesInMtlEditorTip, u"Turn on the stochastic flakes in the material editor."},
    {kStrExplicitUVWChannel, u"Explicit UVW channel"},
    {kStrTriplanarFromObjectXYZ, u"Triplanar from Object XYZ"},
    {kStrMappingTypeTip,
     u"Choose flakes mapping type. Triplanar mapping is recommended only if there is no uv channel."},
    {kStrMapChannelTip, u"Index of the map channel in use."},
    {kStrFlakeScaleTip, u"Locally scales the flakes pattern."},
    {kStrColoredFlakesParameters, u"Colored flakes parameters"},
    {kStrAdvancedParameters, u"Advanced parameters"},
    {kStrRandomHueTip, u"Generate per flake colors with random hue values."},
    {kStrRandomSaturationTip, u"Generate random saturation for each flake color."},
    {kStrRandomLightnessTip, u"Generate random lightness for each flake color."},
    {kStrSaturationTip, u"Flake color saturation, when \"random saturation\" is off."},
    {kStrLightnessTip, u"Flake color lightness, when \"random lightness\" is off."},
    {kStrBlendMinTip,
     u"Number of flakes per pixel, below which only discrete flakes are generated and the smooth "
     u"material is not computed."},
    {kStrBlendMaxTip,
     u"Number of flakes per pixel, above which only the smooth (disabled flakes) material is computed."},
};

// Three 11 × 11 icons side by side: a four-pointed glint with scattered flakes, drawn grey
// (inactive), gold (active) and pale (disabled). Mask 0 shows the icon, 1 lets the background through.
bool inGlint(int x, int y) {
    const int dx = x < 5 ? 5 - x : x - 5;
    const int dy = y < 5 ? 5 - y : y - 5;
    const bool star = (dx == 0 && dy <= 5) || (dy == 0 && dx <= 5) || dx + dy <= 2;
    const bool flake = (x == 1 && y == 2) || (x == 8 && y == 1) || (x == 9 && y == 8) || (x == 2 && y == 9);
    return star || flake;
}

host::Bitmap drawIcons(bool mask) {
    constexpr int kIcons = 3;
    constexpr std::uint8_t kColors[kIcons][3] = {{128, 128, 128}, {40, 190, 240}, {200, 200, 200}};  // BGR
    host::Bitmap bitmap;
    bitmap.width = kBrowserIconSize * kIcons;
    bitmap.height = kBrowserIconSize;
    bitmap.bitsPerPixel = mask ? 1 : 24;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            const int icon = x / kBrowserIconSize;
            const bool on = inGlint(x % kBrowserIconSize, y);
            if (mask) {
                bitmap.pixels.push_back(on ? 0 : 1);
            } else {
                for (int c = 0; c < 3; ++c) bitmap.pixels.push_back(on ? kColors[icon][c] : 0);
            }
        }
    }
    return bitmap;
}

std::mutex registrationMutex;
host::HINSTANCE registeredModule = nullptr;

}  // namespace

host::HINSTANCE registerPluginResources() {
    std::lock_guard lock(registrationMutex);
    if (registeredModule != nullptr && host::GetModuleHandleW(kPluginModuleName) == registeredModule) {
        return registeredModule;
    }
    auto module = std::make_unique<host::Module>(host::WStr(kPluginModuleName));
    for (const StringEntry& entry : kStrings) module->AddString(entry.id, host::WStr(entry.text));
    module->AddBitmap(kBitmapBrowserIcons, drawIcons(false));
    module->AddBitmap(kBitmapBrowserIconsMask, drawIcons(true));
    registeredModule = host::RegisterModule(std::move(module));
    return registeredModule;
}

host::MSTR GetPluginString(int id) {
    if (id < 0) return host::MSTR();
    return MaxSDK::GetResourceStringAsMSTR(registerPluginResources(), static_cast<host::UINT>(id));
}

}  // namespace glitter
