// Helpers for the plug-in's in-process tests: materials made through the class descriptor and
// deleted again, a renderer to drive their render-time face, and parameter comparisons.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/host/iparam_block2.h"
#include "platform/host/texmap.h"
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

/// Every parameter of `a` equals the same parameter of `b` at time t (maps: both null or both
/// of the same class with the same colour at t). Reports the first difference.
inline ::testing::AssertionResult sameParams(host::IParamBlock2& a, host::IParamBlock2& b, host::TimeValue t) {
    for (int i = 0; i < a.NumParams(); ++i) {
        const host::ParamDef& def = a.GetDesc()->GetParamDef(i);
        const std::string name = def.internalName.toUtf8();
        if (a.NumKeys(def.id) != b.NumKeys(def.id)) return ::testing::AssertionFailure() << name << ": key count";
        for (int k = 0; k < a.NumKeys(def.id); ++k) {
            if (a.GetKeyTime(def.id, k) != b.GetKeyTime(def.id, k)) {
                return ::testing::AssertionFailure() << name << ": key " << k << " time";
            }
        }
        if (def.type == host::TYPE_TEXMAP) {
            host::Texmap* ma = a.GetTexmap(def.id, t);
            host::Texmap* mb = b.GetTexmap(def.id, t);
            if ((ma == nullptr) != (mb == nullptr) || (ma != nullptr && ma->ClassID() != mb->ClassID())) {
                return ::testing::AssertionFailure() << name << ": map";
            }
            continue;
        }
        if (a.GetValueByName(def.internalName.view(), t) != b.GetValueByName(def.internalName.view(), t)) {
            return ::testing::AssertionFailure() << name << " differs at " << t;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace glitter::test
