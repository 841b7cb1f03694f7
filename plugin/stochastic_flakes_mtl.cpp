#include "plugin/stochastic_flakes_mtl.h"

#include <mutex>

#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/remap_dir.h"
#include "platform/host/texmap.h"
#include "platform/renderer_host/init_pblock_desc.h"
#include "platform/renderer_host/kuvo_shade_context.h"
#include "plugin/skel_mtl_param_dlg.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter {

using namespace host;

namespace {

constexpr USHORT kMtlBaseChunk = 0x4000;
constexpr MCHAR kReflectionMapSlotName[] = u"Reflection filter map";

std::once_flag blockDescriptionInitialised;

}  // namespace

StochasticFlakesMtl::StochasticFlakesMtl() {
    ivalid.SetEmpty();
    std::call_once(blockDescriptionInitialised,
                   [] { KuvoUtils::initPBlockDesc(*GetStochasticFlakesParamBlockDesc()); });
    pblock = nullptr;
    ivalid.SetEmpty();
    GetStochasticFlakesMtlDesc()->MakeAutoParamBlocks(this);
}

// The render-time state goes with the FlakesRenderMtl base, the block with the references.
StochasticFlakesMtl::~StochasticFlakesMtl() {
    if (dialog != nullptr) dialog->material = nullptr;
}

void StochasticFlakesMtl::GetClassName(MSTR& s) { s = MSTR(GetStochasticFlakesMtlDesc()->ClassName()); }

void* StochasticFlakesMtl::GetInterface(ULONG id) {
    if (id == static_cast<ULONG>(KuvoUtils::KuvoRenderMtl::kInterfaceId)) {
        return static_cast<KuvoUtils::KuvoRenderMtl*>(this);
    }
    return MtlBase::GetInterface(id);
}

int StochasticFlakesMtl::NumSubs() { return NumSubTexmaps() + 1; }

Animatable* StochasticFlakesMtl::SubAnim(int i) {
    if (i == 0) return pblock;
    return i > 0 ? GetSubTexmap(i - 1) : nullptr;
}

MSTR StochasticFlakesMtl::SubAnimName(int i) {
    if (i == 0) return MSTR(u"Params");
    return i > 0 ? GetSubTexmapSlotName(i - 1) : MSTR();
}

bool StochasticFlakesMtl::IsSubClassOf(Class_ID classID) { return classID == ClassID(); }

IParamBlock2* StochasticFlakesMtl::GetParamBlockByID(BlockID id) {
    return pblock != nullptr && pblock->ID() == id ? pblock : nullptr;
}

RefTargetHandle StochasticFlakesMtl::GetReference(int i) { return i == kStochasticFlakesBlockRef ? pblock : nullptr; }

void StochasticFlakesMtl::SetReference(int i, RefTargetHandle target) {
    if (i != kStochasticFlakesBlockRef) return;
    pblock = dynamic_cast<IParamBlock2*>(target);
    // The cached map belongs to the old block.
    cached.reflection_map = nullptr;
    ivalid.SetEmpty();
}

bool StochasticFlakesMtl::AcceptsReference(int i, RefTargetHandle target) {
    if (i != kStochasticFlakesBlockRef) return false;
    if (target == nullptr) return true;
    auto* block = dynamic_cast<IParamBlock2*>(target);
    return block != nullptr && block->GetDesc() == GetStochasticFlakesParamBlockDesc();
}

IOResult StochasticFlakesMtl::Save(ISave* isave) {
    isave->BeginChunk(kMtlBaseChunk);
    const IOResult result = MtlBase::Save(isave);
    if (result != IO_OK) return result;
    return isave->EndChunk();
}

IOResult StochasticFlakesMtl::Load(ILoad* iload) {
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kMtlBaseChunk) {
            if (const IOResult loaded = MtlBase::Load(iload); loaded != IO_OK) return loaded;
        }
        if (const IOResult closed = iload->CloseChunk(); closed != IO_OK) return closed;
    }
    return result == IO_END ? IO_OK : result;
}

RefResult StochasticFlakesMtl::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                                RefMessage message, bool) {
    if (message != REFMSG_CHANGE) return REF_SUCCEED;
    ivalid.SetEmpty();
    if (hTarget != nullptr && hTarget == pblock) {
        const ParamID changed = pblock->LastNotifyParamID();
        // A map taken out of the block may be deleted with it: the next Update reads it again.
        if (changed == kReflectionMap) cached.reflection_map = nullptr;
        if (dialog != nullptr) dialog->RefreshRollouts(changed);
        GetStochasticFlakesMtlDesc()->InvalidateUI(pblock->GetDesc(), changed, -1);
    }
    return REF_SUCCEED;
}

ReferenceTarget* StochasticFlakesMtl::Clone(RemapDir& remap) {
    auto* copy = new StochasticFlakesMtl();
    static_cast<MtlBase&>(*copy) = *this;
    BaseClone(this, copy, remap);
    // Without a clone of the block the copy keeps its fresh one rather than none.
    if (ReferenceTarget* block = remap.CloneRef(pblock); block != nullptr) copy->ReplaceReference(0, block);
    copy->ivalid.SetEmpty();
    return copy;
}

ULONG StochasticFlakesMtl::LocalRequirements(int) { return 0; }

void StochasticFlakesMtl::Update(TimeValue t, Interval& valid) {
    if (!ivalid.InInterval(t)) {
        ivalid = FOREVER;
        if (pblock != nullptr) {
            IParamBlock2& pb = *pblock;
            CachedParameterValues& c = cached;
            pb.GetValue(kEnableFlakes, t, c.enable_flakes, ivalid);
            pb.GetValue(kEnableFlakesInMtlEditor, t, c.enable_flakes_in_mtl_editor, ivalid);
            pb.GetValue(kHilightGlossiness, t, c.hilight_glossiness, ivalid);
            pb.GetValue(kBlurAngle, t, c.blur_angle, ivalid);
            pb.GetValue(kFlakeScale, t, c.flake_scale, ivalid);
            host::Color filter(c.reflection_filter.r, c.reflection_filter.g, c.reflection_filter.b);
            pb.GetValue(kReflectionFilter, t, filter, ivalid);
            c.reflection_filter = KuvoUtils::Color(filter.r, filter.g, filter.b);
            Texmap* map = nullptr;
            pb.GetValue(kReflectionMap, t, map, ivalid);
            c.reflection_map = map;
            pb.GetValue(kReflectionMapOn, t, c.reflection_map_on, ivalid);
            // Read as percent into a local: the cache holds the fraction.
            float percent = 100.0f;
            pb.GetValue(kReflectionMapMult, t, percent, ivalid);
            pb.GetValue(kNumFlakes, t, c.num_flakes, ivalid);
            pb.GetValue(kSubdivs, t, c.subdivs, ivalid);
            pb.GetValue(kMappingType, t, c.mapping_type, ivalid);
            pb.GetValue(kMapChannel, t, c.map_channel, ivalid);
            pb.GetValue(kTextureSubdivs, t, c.texture_subdivs, ivalid);
            pb.GetValue(kRandomHue, t, c.random_hue, ivalid);
            pb.GetValue(kRandomSaturation, t, c.random_saturation, ivalid);
            pb.GetValue(kSaturation, t, c.saturation, ivalid);
            pb.GetValue(kRandomLightness, t, c.random_lightness, ivalid);
            pb.GetValue(kLightness, t, c.lightness, ivalid);
            pb.GetValue(kBlendMin, t, c.blend_min, ivalid);
            pb.GetValue(kBlendMax, t, c.blend_max, ivalid);
            c.reflection_map_mult = percent * 0.01f;
            if (c.reflection_map != nullptr) c.reflection_map->Update(t, ivalid);
        }
    }
    valid &= ivalid;
}

void StochasticFlakesMtl::Reset() {
    ivalid.SetEmpty();
    GetStochasticFlakesMtlDesc()->Reset(this, true, true);
}

Interval StochasticFlakesMtl::Validity(TimeValue t) {
    Interval valid = FOREVER;
    Update(t, valid);
    return ivalid;
}

ParamDlg* StochasticFlakesMtl::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
    return new SkelMtlParamDlg(this, hwMtlEdit, imp);
}

Texmap* StochasticFlakesMtl::GetSubTexmap(int) {
    return pblock != nullptr ? pblock->GetTexmap(kReflectionMap, 0) : nullptr;
}

void StochasticFlakesMtl::SetSubTexmap(int i, Texmap* m) {
    if (i == 0 && pblock != nullptr) pblock->SetValue(kReflectionMap, 0, m);
}

MSTR StochasticFlakesMtl::GetSubTexmapSlotName(int) { return MSTR(kReflectionMapSlotName); }

Color StochasticFlakesMtl::GetAmbient(int, bool) { return host::Color(0.0f, 0.0f, 0.0f); }
Color StochasticFlakesMtl::GetDiffuse(int, bool) { return host::Color(0.5f, 0.5f, 0.5f); }
Color StochasticFlakesMtl::GetSpecular(int, bool) { return host::Color(0.0f, 0.0f, 0.0f); }
float StochasticFlakesMtl::GetShininess(int, bool) { return 0.0f; }
float StochasticFlakesMtl::GetShinStr(int, bool) { return 0.0f; }
float StochasticFlakesMtl::GetXParency(int, bool) { return 0.0f; }
bool StochasticFlakesMtl::GetSelfIllumColorOn(int, bool) { return true; }
float StochasticFlakesMtl::GetSelfIllum(int, bool) { return 0.0f; }
Color StochasticFlakesMtl::GetSelfIllumColor(int, bool) { return host::Color(0.0f, 0.0f, 0.0f); }
Sampler* StochasticFlakesMtl::GetPixelSampler(int, bool) { return nullptr; }
float StochasticFlakesMtl::WireSize(int, bool) { return 0.0f; }

void StochasticFlakesMtl::Shade(ShadeContext& sc) {
    if (KuvoUtils::KuvoInterface* shading = KuvoUtils::KuvoShadeContext::interfaceOf(sc); shading != nullptr) {
        shade(*shading, GetGBufID());
        return;
    }
    if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());
    sc.out.c = host::Color(0.0f, 0.0f, 0.0f);
    sc.out.t = host::Color(0.0f, 0.0f, 0.0f);
}

const char16_t* StochasticFlakesMtl::nameForLog() const { return GetName().data(); }

}  // namespace glitter
