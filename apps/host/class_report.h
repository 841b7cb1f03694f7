// The `classes` listing: the library's description and version, and for each class its
// identity, whether users may create it, its material browser entry and icons, and which
// renderers it declares itself compatible with.
#pragma once

#include <ostream>
#include <string>

#include "apps/plugin_loader/plugin_library.h"

namespace glitter::hostcli {

void printClasses(const pluginloader::PluginLibrary& library, std::ostream& out);

/// "(0x6113692d, 0x4e1d1282)".
std::string formatClassId(const host::Class_ID& id);

}  // namespace glitter::hostcli
