// Helpers for the plug-in's in-process tests: materials made through the class descriptor and
// deleted again, with their render-time face.
#pragma once

#include <gtest/gtest.h>

#include "platform/host/iparam_block2.h"
#include "plugin/stochastic_flakes_mtl.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"
#include "tests/bsdf/bsdf_test_support.h"  // TestRenderer

namespace glitter::test {

/// A material created through the class descriptor, deleted (with what it owns) at scope end.
class MaterialHandle {
public:
    MaterialHandle() : mtl(static_cast<StochasticFlakesMtl*>(GetStochasticFlakesMtlDesc()->Create(false))) {}
    explicit MaterialHandle(StochasticFlakesMtl* adopted) : mtl(adopted) {}
    MaterialHandle(const MaterialHandle&) = delete;
    MaterialHandle& operator=(const MaterialHandle&) = delete;
    ~MaterialHandle() {
        if (mtl != nullptr) mtl->DeleteThis();
    }
    StochasticFlakesMtl* operator->() const { return mtl; }
    StochasticFlakesMtl& operator*() const { return *mtl; }
    StochasticFlakesMtl* get() const { return mtl; }
    host::IParamBlock2& pb() const { return *mtl->pblock; }
    KuvoUtils::KuvoRenderMtl& face() const {
        return *static_cast<KuvoUtils::KuvoRenderMtl*>(mtl->GetInterface(host::ULONG(0x13072005)));
    }

private:
    StochasticFlakesMtl* mtl;
};

}  // namespace glitter::test
