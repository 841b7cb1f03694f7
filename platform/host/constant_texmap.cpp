#include "platform/host/constant_texmap.h"

namespace host {

namespace {

class ConstantTexmapClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    ReferenceTarget* Create(bool) override { return new ConstantTexmap(); }
    const MCHAR* ClassName() override { return u"Constant"; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return ConstantTexmap::kClassID; }
    const MCHAR* Category() override { return u"Maps"; }
};

struct ConstantTexmapStatics {
    ConstantTexmapClassDesc cd;
    // clang-format off
    ParamBlockDesc2 pbd{0, u"ConstantTexmap parameters", 0, &cd, P_AUTO_CONSTRUCT, 0,
                        ConstantTexmap::kColor, u"color", TYPE_RGBA, P_ANIMATABLE, 0,
                            p_default, Color(0.5f, 0.5f, 0.5f), p_end,
                        ConstantTexmap::kAlpha, u"alpha", TYPE_FLOAT, P_ANIMATABLE, 0,
                            p_default, 1.0f, p_range, 0.0f, 1.0f, p_end,
                        p_end};
    // clang-format on
};

ConstantTexmapStatics& statics() {
    static ConstantTexmapStatics s;
    return s;
}

}  // namespace

ClassDesc2* GetConstantTexmapDesc() { return &statics().cd; }

ConstantTexmap::ConstantTexmap() { makeBlock(classDesc()); }

ClassDesc2* ConstantTexmap::classDesc() { return GetConstantTexmapDesc(); }

void ConstantTexmap::readParams(TimeValue t, Interval& valid) {
    Color c;
    float alpha = 1.0f;
    pblock->GetValue(kColor, t, c, valid);
    pblock->GetValue(kAlpha, t, alpha, valid);
    value_ = AColor(c, alpha);
}

AColor ConstantTexmap::EvalColor(ShadeContext&) { return value_; }

}  // namespace host
