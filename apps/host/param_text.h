// Parameter values as text, in one syntax for what --set and --key accept and what show prints,
// so every value shown can be typed back: floats in their shortest exact form, ints, bools as
// on/off, colours as R,G,B, maps as none or constant:R,G,B[,A].
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/host/color.h"
#include "platform/host/interval.h"
#include "platform/host/param_def.h"

namespace glitter::hostcli {

/// The shortest text that reads back as the same float.
std::string formatFloat(float v);
std::string formatColor(const host::Color& c);
/// "forever", "never", "[a, b]", "(-inf, b]", "[a, +inf)" or "a" (an instant).
std::string formatInterval(const host::Interval& valid);
/// "float", "int", "bool", "colour", "map".
std::string typeName(host::ParamType2 type);
/// "low to high", or "-" for a parameter without a range.
std::string formatRange(const host::ParamDef& def);
/// The value of a scalar parameter (bool, int, float, colour) held in `v`.
std::string formatScalar(const host::ParamDef& def, const host::ParamValueRecord& v);

/// Reads `text` as a value of scalar parameter `def` (not a map). Int parameters shown as a
/// combo box also take an item's text (`comboItems`, any case). Throws CliError naming the
/// parameter when the text is not such a value or lies outside the parameter's range: the
/// command line refuses, it never clamps.
host::ParamValueRecord parseScalar(const host::ParamDef& def, std::string_view text,
                                   const std::vector<std::string>& comboItems);

/// What a map parameter is set to: no map, or a new constant map of this colour and alpha.
struct MapSpec {
    bool none = true;
    host::AColor color;
};
/// Reads "none" or "constant:R,G,B[,A]" (finite numbers; alpha 0 to 1, default 1).
MapSpec parseMapSpec(const host::ParamDef& def, std::string_view text);

}  // namespace glitter::hostcli
