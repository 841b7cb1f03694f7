#include "platform/host/checker_texmap.h"

#include <cmath>

namespace host {

namespace {

class CheckerTexmapClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    ReferenceTarget* Create(bool) override { return new CheckerTexmap(); }
    const MCHAR* ClassName() override { return u"Checker"; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return CheckerTexmap::kClassID; }
    const MCHAR* Category() override { return u"Maps"; }
};

struct CheckerTexmapStatics {
    CheckerTexmapClassDesc cd;
    // clang-format off
    ParamBlockDesc2 pbd{0, u"CheckerTexmap parameters", 0, &cd, P_AUTO_CONSTRUCT, 0,
                        CheckerTexmap::kColor1, u"color1", TYPE_RGBA, P_ANIMATABLE, 0,
                            p_default, Color(0.0f, 0.0f, 0.0f), p_end,
                        CheckerTexmap::kColor2, u"color2", TYPE_RGBA, P_ANIMATABLE, 0,
                            p_default, Color(1.0f, 1.0f, 1.0f), p_end,
                        CheckerTexmap::kAlpha1, u"alpha1", TYPE_FLOAT, P_ANIMATABLE, 0,
                            p_default, 1.0f, p_range, 0.0f, 1.0f, p_end,
                        CheckerTexmap::kAlpha2, u"alpha2", TYPE_FLOAT, P_ANIMATABLE, 0,
                            p_default, 1.0f, p_range, 0.0f, 1.0f, p_end,
                        CheckerTexmap::kMapChannel, u"map_channel", TYPE_INT, 0, 0,
                            p_default, 1, p_range, 0, 100, p_end,
                        CheckerTexmap::kTiling, u"tiling", TYPE_FLOAT, P_ANIMATABLE, 0,
                            p_default, 1.0f, p_range, 1e-6f, 1e6f, p_end,
                        p_end};
    // clang-format on
};

CheckerTexmapStatics& statics() {
    static CheckerTexmapStatics s;
    return s;
}

// Parity of the cell index floor(x) as 0 or 1, without converting x to an integer.
double parity(double x) {
    const double p = std::fmod(std::floor(x), 2.0);
    return p < 0.0 ? p + 2.0 : p;
}

}  // namespace

ClassDesc2* GetCheckerTexmapDesc() { return &statics().cd; }

CheckerTexmap::CheckerTexmap() { makeBlock(classDesc()); }

ClassDesc2* CheckerTexmap::classDesc() { return GetCheckerTexmapDesc(); }

void CheckerTexmap::readParams(TimeValue t, Interval& valid) {
    Color c1, c2;
    float a1 = 1.0f, a2 = 1.0f;
    pblock->GetValue(kColor1, t, c1, valid);
    pblock->GetValue(kColor2, t, c2, valid);
    pblock->GetValue(kAlpha1, t, a1, valid);
    pblock->GetValue(kAlpha2, t, a2, valid);
    pblock->GetValue(kMapChannel, t, mapChannel_, valid);
    pblock->GetValue(kTiling, t, tiling_, valid);
    color1_ = AColor(c1, a1);
    color2_ = AColor(c2, a2);
}

AColor CheckerTexmap::EvalColor(ShadeContext& sc) {
    const Point3 uvw = sc.UVW(mapChannel_);
    const double u = static_cast<double>(uvw.x) * tiling_;
    const double v = static_cast<double>(uvw.y) * tiling_;
    const double w = static_cast<double>(uvw.z) * tiling_;
    if (!std::isfinite(u) || !std::isfinite(v) || !std::isfinite(w)) return color1_;
    return std::fmod(parity(u) + parity(v) + parity(w), 2.0) == 0.0 ? color1_ : color2_;
}

}  // namespace host
