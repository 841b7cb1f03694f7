// The plug-in library's resources: its string table (rollout titles, tooltips, combo items) and
// the material browser's icon bitmaps, registered as the library's module.
#pragma once

#include "platform/host/module.h"

namespace glitter {

/// File name under which the library's module is registered.
inline constexpr char16_t kPluginModuleName[] = u"kuvostochasticflakesmtl2015.dlt";

// String table ids.
inline constexpr int kStrBasicParameters = 6;
inline constexpr int kStrEnableFlakesTip = 9;
inline constexpr int kStrNumFlakesTip = 10;
inline constexpr int kStrHilightGlossinessTip = 11;
inline constexpr int kStrBlurAngleTip = 12;
inline constexpr int kStrTextureSubdivsTip = 18;
inline constexpr int kStrEnableFlakesInMtlEditorTip = 19;
inline constexpr int kStrExplicitUVWChannel = 20;
inline constexpr int kStrTriplanarFromObjectXYZ = 21;
inline constexpr int kStrMappingTypeTip = 22;
inline constexpr int kStrMapChannelTip = 23;
inline constexpr int kStrFlakeScaleTip = 24;
inline constexpr int kStrColoredFlakesParameters = 25;
inline constexpr int kStrAdvancedParameters = 26;
inline constexpr int kStrRandomHueTip = 27;
inline constexpr int kStrRandomSaturationTip = 28;
inline constexpr int kStrRandomLightnessTip = 29;
inline constexpr int kStrSaturationTip = 30;
inline constexpr int kStrLightnessTip = 31;
inline constexpr int kStrBlendMinTip = 32;
inline constexpr int kStrBlendMaxTip = 33;

// Bitmap ids: the browser icons (inactive, active, disabled; 11 × 11 each, side by side) and
// their mask.
inline constexpr int kBitmapBrowserIcons = 101;
inline constexpr int kBitmapBrowserIconsMask = 102;
inline constexpr int kBrowserIconSize = 11;

/// Registers the library's module with its resources (once; later calls answer the same
/// handle) and answers the module handle.
host::HINSTANCE registerPluginResources();

/// Text `id` of the library's string table; empty when there is none.
host::MSTR GetPluginString(int id);

}  // namespace glitter
