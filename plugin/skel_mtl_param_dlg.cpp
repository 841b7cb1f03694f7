#include "plugin/skel_mtl_param_dlg.h"

#include "platform/renderer_host/pb2_template_generator.h"
#include "plugin/library_entry.h"
#include "plugin/rollout_rules.h"
#include "plugin/skel_mtl_dlg_proc.h"
#include "plugin/stochastic_flakes_mtl.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter {

using namespace host;
using KuvoUtils::Pb2TemplateGenerator;

namespace {

struct RolloutSpec {
    MapID mapId;
    const MCHAR* title;
    DWORD flags;
};

constexpr RolloutSpec kRollouts[SkelMtlParamDlg::kRolloutCount] = {
    {kRolloutBasic, u"Basic parameters", 0},
    {kRolloutColoredFlakes, u"Colored flakes parameters", 0},
    {kRolloutAdvanced, u"Advanced parameters", APPENDROLL_CLOSED},
};

}  // namespace

SkelMtlParamDlg::SkelMtlParamDlg(StochasticFlakesMtl* mtl, HWND hwMtlEdit, IMtlParams* imp) : mtlParams(imp) {
    attach(mtl);
    IParamMap2** maps[kRolloutCount] = {&basicMap, &coloredFlakesMap, &advancedMap};
    IParamBlock2* pb = mtl != nullptr ? mtl->pblock : nullptr;
    for (int i = 0; i < kRolloutCount; ++i) {
        const RolloutSpec& r = kRollouts[i];
        DLGTEMPLATE* dlgTemplate = Pb2TemplateGenerator::GenerateTemplate(r.mapId, pb, kCaption, kRolloutWidth);
        *maps[i] = CreateMParamMap2(r.mapId, pb, imp, LibraryEntry::instance(), hwMtlEdit, nullptr, nullptr,
                                    dlgTemplate, r.title, r.flags, &SkelMtlDlgProc::instance(), nullptr,
                                    ROLLUP_CAT_STANDARD);
        Pb2TemplateGenerator::ReleaseDlgTemplate(dlgTemplate);
    }
}

SkelMtlParamDlg::~SkelMtlParamDlg() = default;

Class_ID SkelMtlParamDlg::ClassID() { return StochasticFlakesMtl::kClassID; }

void SkelMtlParamDlg::SetThing(ReferenceTarget* m) {
    auto* mtl = dynamic_cast<StochasticFlakesMtl*>(m);
    if (mtl == nullptr || mtl->pblock == nullptr) return;
    attach(mtl);
    for (IParamMap2* map : {basicMap, coloredFlakesMap, advancedMap}) {
        if (map == nullptr) continue;
        map->SetParamBlock(mtl->pblock);
        // The controls keep the state the previous material's switches gave them.
        applyRolloutRules(map);
    }
}

ReferenceTarget* SkelMtlParamDlg::GetThing() { return material; }

void SkelMtlParamDlg::DeleteThis() {
    for (IParamMap2** map : {&basicMap, &coloredFlakesMap, &advancedMap}) {
        DestroyMParamMap2(*map);
        *map = nullptr;
    }
    detach();
    mtlParams = nullptr;
    delete this;
}

IParamMap2* SkelMtlParamDlg::GetMap(MapID mapId) const {
    switch (mapId) {
        case kRolloutBasic:
            return basicMap;
        case kRolloutColoredFlakes:
            return coloredFlakesMap;
        case kRolloutAdvanced:
            return advancedMap;
        default:
            return nullptr;
    }
}

void SkelMtlParamDlg::RefreshRollouts(ParamID changed) {
    for (IParamMap2* map : {basicMap, coloredFlakesMap, advancedMap}) {
        if (map != nullptr && rolloutDependsOn(map->GetMapID(), changed)) applyRolloutRules(map);
    }
}

void SkelMtlParamDlg::attach(StochasticFlakesMtl* mtl) {
    if (mtl == material) return;
    detach();
    material = mtl;
    if (material != nullptr) {
        if (material->dialog != nullptr) material->dialog->material = nullptr;
        material->dialog = this;
    }
}

void SkelMtlParamDlg::detach() {
    if (material != nullptr && material->dialog == this) material->dialog = nullptr;
    material = nullptr;
}

}  // namespace glitter
