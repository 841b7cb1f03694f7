// The category under which the material browser lists the material: the production renderer's
// group of the materials category, in the host's language when the material editor's module
// can tell it.
#pragma once

#include "platform/host/wstr.h"

namespace glitter {

/// Name of the host module whose string table holds the localized word for materials.
inline constexpr char16_t kMaterialEditorModuleName[] = u"sme.gup";
/// That word's string id.
inline constexpr int kMaterialsCategoryStringId = 432;

/// "Materials\Kuvo" while "sme.gup" is not loaded (it is looked up, never loaded). With it
/// loaded: its string 432 followed by "\Kuvo", read once and kept until the library is
/// unloaded; the text stays valid as long. Thread-safe.
const host::MCHAR* materialBrowserCategory();

}  // namespace glitter
