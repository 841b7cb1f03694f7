// Setting a plug-in material's parameters from text, by internal name, the way scripting does:
// the text is read by the parameter's type and refused (never clamped) when it lies outside the
// parameter's range.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "apps/plugin_loader/plugin_library.h"
#include "platform/host/interval.h"
#include "platform/host/mtl.h"

namespace glitter::renderer {

// The loader is shared with the other programs; its error is the renderer's error for any
// plug-in library, material or parameter it cannot use.
using pluginloader::PluginError;

/// A parameter setting the material cannot take: an unknown name, or a value that does not
/// parse or lies out of range.
class SettingError : public PluginError {
  public:
    using PluginError::PluginError;
};

struct ParameterSetting {
    std::string name;
    std::string value;
};

/// Splits "name=value" at the first '='. Throws SettingError when there is no '=' or no name.
ParameterSetting parseParameterSetting(std::string_view text);

/// Sets `setting` on the parameter of that internal name in any of `material`'s blocks, at
/// time `t`. Values by type: floats and whole numbers as written (finite), bools as
/// on/off/true/false/yes/no/1/0, colours as R,G,B (finite, at least 0), maps as `none`,
/// `checker[:TILING]` or `constant:R,G,B[,A]`. Throws SettingError, having changed nothing,
/// for an unknown name (listing the names there are), a value that does not parse, or one
/// outside the parameter's range.
void applyParameterSetting(host::Mtl& material, const ParameterSetting& setting, host::TimeValue t);

/// The internal names of `material`'s parameters, block by block in declaration order.
std::vector<std::string> parameterNames(host::Mtl& material);

}  // namespace glitter::renderer
