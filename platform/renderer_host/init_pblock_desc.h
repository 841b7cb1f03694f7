// The renderer host plug-in's hook on a material's parameter block description, called once by
// the material before its first block is built.
#pragma once

#include "platform/host/param_block_desc2.h"

namespace KuvoUtils {

/// Looks at a material's block description before blocks are built from it. This stand-in
/// changes nothing; it counts its calls.
void initPBlockDesc(host::ParamBlockDesc2& pbDesc);

/// Calls of initPBlockDesc so far in this copy of the library (for tests).
int initPBlockDescCalls();

}  // namespace KuvoUtils
