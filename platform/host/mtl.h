// A material: what the host's viewport and its own renderers ask of it, and its sub-materials.
#pragma once

#include "platform/host/color.h"
#include "platform/host/mtl_base.h"
#include "platform/host/shade_context.h"

namespace host {

class Sampler;

class Mtl : public MtlBase {
public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }

    virtual Color GetAmbient(int mtlNum = 0, bool backFace = false);
    virtual Color GetDiffuse(int mtlNum = 0, bool backFace = false);
    virtual Color GetSpecular(int mtlNum = 0, bool backFace = false);
    virtual float GetShininess(int mtlNum = 0, bool backFace = false);
    virtual float GetShinStr(int mtlNum = 0, bool backFace = false);
    virtual float GetXParency(int mtlNum = 0, bool backFace = false);
    virtual bool GetSelfIllumColorOn(int mtlNum = 0, bool backFace = false);
    virtual float GetSelfIllum(int mtlNum = 0, bool backFace = false);
    virtual Color GetSelfIllumColor(int mtlNum = 0, bool backFace = false);
    virtual Sampler* GetPixelSampler(int mtlNum = 0, bool backFace = false);
    virtual float WireSize(int mtlNum = 0, bool backFace = false);
    virtual void SetAmbient(Color c, TimeValue t);
    virtual void SetDiffuse(Color c, TimeValue t);
    virtual void SetSpecular(Color c, TimeValue t);
    virtual void SetShininess(float v, TimeValue t);
    virtual bool SupportsShaders();
    virtual bool SupportsRenderElements();
    /// Shades the context's point into `sc.out`. Default: black, opaque.
    virtual void Shade(ShadeContext& sc);
    virtual int NumSubMtls();
    virtual Mtl* GetSubMtl(int i);
    virtual void SetSubMtl(int i, Mtl* m);
    virtual int VPDisplaySubMtl();
    virtual MSTR GetSubMtlSlotName(int i);
    virtual float EvalDisplacement(ShadeContext& sc);
    virtual Interval DisplacementValidity(TimeValue t);
    virtual bool IsOutputConst(ShadeContext& sc, int stdID);
    virtual bool EvalColorStdChannel(ShadeContext& sc, int stdID, Color& outClr);
};

}  // namespace host
