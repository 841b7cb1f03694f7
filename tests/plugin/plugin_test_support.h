// Materials for the plug-in's in-process tests, made through the class descriptor and deleted
// (with what they own) when the pointer goes.
#pragma once

#include <memory>

#include "plugin/stochastic_flakes_mtl.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"

namespace glitter::test {

struct DeleteThis {
    void operator()(host::Animatable* object) const { object->DeleteThis(); }
};
using MaterialHandle = std::unique_ptr<StochasticFlakesMtl, DeleteThis>;

inline MaterialHandle newMaterial(bool loading = false) {
    return MaterialHandle(static_cast<StochasticFlakesMtl*>(GetStochasticFlakesMtlDesc()->Create(loading)));
}

}  // namespace glitter::test
