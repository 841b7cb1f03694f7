// Materials for the plug-in's in-process tests and the scene fuzzer's seeds, made through the class
// descriptor and deleted (with what they own) when the pointer goes; one dressed in every slot.
#pragma once

#include <memory>

#include "platform/host/constant_texmap.h"
#include "plugin/stochastic_flakes_mtl.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter::test {

struct DeleteThis {
    void operator()(host::Animatable* object) const { object->DeleteThis(); }
};
using MaterialHandle = std::unique_ptr<StochasticFlakesMtl, DeleteThis>;

inline MaterialHandle newMaterial(bool loading = false) {
    return MaterialHandle(static_cast<StochasticFlakesMtl*>(GetStochasticFlakesMtlDesc()->Create(loading)));
}

// A material with something in every kind of slot: values, keys, a map, a name.
inline void dressUp(StochasticFlakesMtl& m) {
    host::IParamBlock2& pb = *m.pblock;
    m.SetName(u"Disco ball");
    m.SetGBufID(3);
    pb.SetValue(kNumFlakes, 0, 777);
    pb.SetValue(kMappingType, 0, kMappingTriplanar);
    pb.SetValue(kEnableFlakesInMtlEditor, 0, 1);
    pb.SetValue(kReflectionFilter, 0, host::Color(0.5f, 0.25f, 1.0f));
    pb.SetKey(kFlakeScale, 0, 0.5f);
    pb.SetKey(kFlakeScale, 480, 4.0f);
    pb.SetKey(kRandomHue, 0, 0);
    pb.SetKey(kRandomHue, 160, 1);
    pb.SetKey(kReflectionFilter, 320, host::Color(1, 0, 0));
    auto* map = new host::ConstantTexmap();
    map->pblock->SetKey(host::ConstantTexmap::kColor, 0, host::Color(0.2f, 0.3f, 0.4f));
    map->pblock->SetKey(host::ConstantTexmap::kColor, 200, host::Color(0.9f, 0.8f, 0.7f));
    pb.SetValue(kReflectionMap, 0, static_cast<host::Texmap*>(map));
}

}  // namespace glitter::test
