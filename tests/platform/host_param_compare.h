// Compares two parameter blocks of one description through the host's public face.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/host/iparam_block2.h"
#include "platform/host/texmap.h"

namespace host::testing {

/// Every parameter of `a` equals the same parameter of `b` at time t, with the same key times
/// (maps: both null or both of the same class). Reports the first difference.
inline ::testing::AssertionResult sameParams(IParamBlock2& a, IParamBlock2& b, TimeValue t) {
    for (int i = 0; i < a.NumParams(); ++i) {
        const ParamDef& def = a.GetDesc()->GetParamDef(i);
        const std::string name = def.internalName.toUtf8();
        if (a.NumKeys(def.id) != b.NumKeys(def.id)) {
            return ::testing::AssertionFailure() << name << ": key count";
        }
        for (int k = 0; k < a.NumKeys(def.id); ++k) {
            if (a.GetKeyTime(def.id, k) != b.GetKeyTime(def.id, k)) {
                return ::testing::AssertionFailure() << name << ": key " << k << " time";
            }
        }
        if (def.type == TYPE_TEXMAP) {
            Texmap* ma = a.GetTexmap(def.id, t);
            Texmap* mb = b.GetTexmap(def.id, t);
            if ((ma == nullptr) != (mb == nullptr) ||
                (ma != nullptr && ma->ClassID() != mb->ClassID())) {
                return ::testing::AssertionFailure() << name << ": map";
            }
        } else if (a.GetValueByName(def.internalName.view(), t) !=
                   b.GetValueByName(def.internalName.view(), t)) {
            return ::testing::AssertionFailure() << name << " differs at " << t;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace host::testing
