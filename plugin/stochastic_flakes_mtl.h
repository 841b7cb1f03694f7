// The glitter material as the host sees it: one parameter block (reference 0), a cache of the
// block's values at the last Update, the reflection map as its one sub-texmap, and the
// renderer's material interface (FlakesRenderMtl) as its second face.
#pragma once

#include "platform/host/iparam_block2.h"
#include "platform/host/mtl.h"
#include "material_runtime/flakes_render_mtl.h"

namespace glitter {

class SkelMtlParamDlg;

class StochasticFlakesMtl : public host::Mtl, public FlakesRenderMtl {
public:
    static constexpr host::Class_ID kClassID{0x6113692d, 0x4e1d1282};

    /// A material with a new block at the defaults. The first construction in the process hands
    /// the block description to the renderer host plug-in's initPBlockDesc.
    StochasticFlakesMtl();
    ~StochasticFlakesMtl() override;

    // Animatable and reference level.
    void GetClassName(host::MSTR& s) override;
    host::SClass_ID SuperClassID() override { return host::MATERIAL_CLASS_ID; }
    host::Class_ID ClassID() override { return kClassID; }
    /// KuvoRenderMtl::kInterfaceId answers the render-time face; other ids go to MtlBase.
    void* GetInterface(host::ULONG id) override;
    using host::Mtl::GetInterface;
    int NumSubs() override;
    host::Animatable* SubAnim(int i) override;
    host::MSTR SubAnimName(int i) override;
    bool IsSubClassOf(host::Class_ID classID) override;
    int NumParamBlocks() override { return 1; }
    host::IParamBlock2* GetParamBlock(int) override { return pblock; }
    host::IParamBlock2* GetParamBlockByID(host::BlockID id) override;
    int NumRefs() override { return 1; }
    host::RefTargetHandle GetReference(int i) override;
    bool AcceptsReference(int i, host::RefTargetHandle target) override;
    host::IOResult Save(host::ISave* isave) override;
    host::IOResult Load(host::ILoad* iload) override;
    host::RefResult NotifyRefChanged(const host::Interval& changeInt, host::RefTargetHandle hTarget,
                                     host::PartID& partID, host::RefMessage message, bool propagate) override;
    host::ReferenceTarget* Clone(host::RemapDir& remap) override;

    // MtlBase.
    host::ULONG LocalRequirements(int subMtlNum) override;
    void Update(host::TimeValue t, host::Interval& valid) override;
    void Reset() override;
    host::Interval Validity(host::TimeValue t) override;
    host::ParamDlg* CreateParamDlg(host::HWND hwMtlEdit, host::IMtlParams* imp) override;

    // ISubMap: the reflection map.
    int NumSubTexmaps() override { return 1; }
    host::Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, host::Texmap* m) override;
    int SubTexmapOn(int) override { return 1; }
    host::MSTR GetSubTexmapSlotName(int i) override;
    bool SetDlgThing(host::ParamDlg*) override { return false; }

    // Mtl: fixed answers for the viewport and the host's own renderers.
    host::Color GetAmbient(int mtlNum = 0, bool backFace = false) override;
    host::Color GetDiffuse(int mtlNum = 0, bool backFace = false) override;
    host::Color GetSpecular(int mtlNum = 0, bool backFace = false) override;
    float GetShininess(int mtlNum = 0, bool backFace = false) override;
    float GetShinStr(int mtlNum = 0, bool backFace = false) override;
    float GetXParency(int mtlNum = 0, bool backFace = false) override;
    bool GetSelfIllumColorOn(int mtlNum = 0, bool backFace = false) override;
    float GetSelfIllum(int mtlNum = 0, bool backFace = false) override;
    host::Color GetSelfIllumColor(int mtlNum = 0, bool backFace = false) override;
    host::Sampler* GetPixelSampler(int mtlNum = 0, bool backFace = false) override;
    float WireSize(int mtlNum = 0, bool backFace = false) override;
    void SetAmbient(host::Color, host::TimeValue) override {}
    void SetDiffuse(host::Color, host::TimeValue) override {}
    void SetSpecular(host::Color, host::TimeValue) override {}
    void SetShininess(float, host::TimeValue) override {}
    bool SupportsShaders() override { return false; }
    bool SupportsRenderElements() override { return false; }
    /// In the production renderer's shade contexts, hands the hit to the renderer's own shading
    /// (KuvoRenderMtl::shade); in any other renderer's, opaque black.
    void Shade(host::ShadeContext& sc) override;
    int NumSubMtls() override { return 0; }
    host::Mtl* GetSubMtl(int) override { return nullptr; }
    void SetSubMtl(int, host::Mtl*) override {}
    int VPDisplaySubMtl() override { return -1; }
    host::MSTR GetSubMtlSlotName(int) override { return host::MSTR(); }
    float EvalDisplacement(host::ShadeContext&) override { return 0.0f; }
    host::Interval DisplacementValidity(host::TimeValue) override { return host::FOREVER; }
    bool IsOutputConst(host::ShadeContext&, int) override { return false; }
    bool EvalColorStdChannel(host::ShadeContext&, int, host::Color&) override { return false; }

    /// The cached values (tests and the parameter dialog read them).
    const CachedParameterValues& cachedValues() const { return cached; }
    const host::Interval& validity() const { return ivalid; }
    /// The parameter dialog showing this material, or null.
    SkelMtlParamDlg* paramDlg() const { return dialog; }

    host::IParamBlock2* pblock = nullptr;

protected:
    void SetReference(int i, host::RefTargetHandle target) override;
    const char16_t* nameForLog() const override;

private:
    friend class SkelMtlParamDlg;

    // Validity of `cached`; empty after construction, reset, clone and every change message.
    host::Interval ivalid;
    // Kept in step by SkelMtlParamDlg, so block changes can refresh its rollouts.
    SkelMtlParamDlg* dialog = nullptr;
};

}  // namespace glitter
