// A map of one colour with alpha, both animatable.
#pragma once

#include "platform/host/standard_texmap.h"

namespace host {

class ConstantTexmap : public StandardTexmap {
public:
    static constexpr Class_ID kClassID{0x1c0a3e51, 0x5b2d7f40};
    enum ParamId : ParamID { kColor = 0, kAlpha = 1 };

    ConstantTexmap();

    Class_ID ClassID() override { return kClassID; }
    void GetClassName(MSTR& s) override { s = MSTR(u"Constant"); }
    AColor EvalColor(ShadeContext& sc) override;

protected:
    void readParams(TimeValue t, Interval& valid) override;
    StandardTexmap* makeEmpty() override { return new ConstantTexmap(); }
    ClassDesc2* classDesc() override;

private:
    AColor value_;
};

/// The class descriptor of ConstantTexmap (always in a ClassDirectory).
ClassDesc2* GetConstantTexmapDesc();

}  // namespace host
