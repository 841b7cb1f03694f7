// The library's exported entry points, with C linkage. The library exports these and nothing
// else (see plugin_exports.map).
#include "platform/host/plugin_library_abi.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"

#define GLITTER_PLUGIN_EXPORT __attribute__((visibility("default")))

extern "C" {

GLITTER_PLUGIN_EXPORT const char16_t* LibDescription() { return u"KuvoStochasticFlakesMtl material"; }

GLITTER_PLUGIN_EXPORT int LibNumberClasses() { return 1; }

GLITTER_PLUGIN_EXPORT host::ClassDesc* LibClassDesc(int i) {
    return i == 0 ? glitter::GetStochasticFlakesMtlDesc() : nullptr;
}

GLITTER_PLUGIN_EXPORT host::ULONG LibVersion() { return glitter::kPluginLibVersion; }

}  // extern "C"
