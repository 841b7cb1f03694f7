#pragma once
// The material's parameters as the Python package sees them: read from the plug-in's own block
// description (names, types, defaults, ranges), and turned into the values a render caches and
// the flake record it fills at render start.

#include <string>
#include <vector>

#include "bsdf/cached_parameter_values.h"
#include "flakes/flake_params.h"

namespace glitter::python {

enum class ParamKind { floatValue, intValue, boolValue, color, map };

struct ParamInfo {
    std::string name;  // internal name
    ParamKind kind;
    double defaultValue[3];  // one entry, or r, g, b for colours
    bool hasRange;
    double low, high;  // for colours the range of each channel
};

// Every parameter of the block description, in declaration order.
const std::vector<ParamInfo>& parameterTable();

// One parameter value from Python: numbers in `value[0]` (colours use all three); for a map,
// value[0] is nonzero when one is set (no map can be evaluated outside a render).
struct ParamValue {
    std::string name;
    double value[3];
};

// The values a material caches at update from these settings (missing names keep their
// defaults). Throws std::invalid_argument for an unknown name, a value outside the range, a
// non-integral value of an integer parameter, or NaN.
CachedParameterValues cachedValues(const std::vector<ParamValue>& values);

// The render-start flake record of these cached values, as the material fills it.
FlakeParams renderFlakeParams(const CachedParameterValues& values);

}  // namespace glitter::python
