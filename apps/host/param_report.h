// The `show` listing: a material's parameters with their values at a time, ranges, the span of
// time over which each value holds, and keys.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "apps/host/param_editor.h"

namespace glitter::hostcli {

/// Lists `only` (every parameter when empty) of `material` at time `t`.
void printParams(host::Mtl& material, const ParamEditor& editor, host::TimeValue t,
                 const std::vector<std::string>& only, std::ostream& out);

/// `Material "NAME" (CLASS)`.
std::string materialTitle(host::Mtl& material);

}  // namespace glitter::hostcli
