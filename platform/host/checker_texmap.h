// A checker over the UVW coordinates of one map channel: cells of size 1/tiling alternate
// between two colours (each with alpha) in u, v and w.
#pragma once

#include "platform/host/standard_texmap.h"

namespace host {

class CheckerTexmap : public StandardTexmap {
public:
    static constexpr Class_ID kClassID{0x2b6e1f93, 0x0d4c8a71};
    enum ParamId : ParamID {
        kColor1 = 0,
        kColor2 = 1,
        kAlpha1 = 2,
        kAlpha2 = 3,
        kMapChannel = 4,
        kTiling = 5
    };

    CheckerTexmap();

    Class_ID ClassID() override { return kClassID; }
    void GetClassName(MSTR& s) override { s = MSTR(u"Checker"); }
    /// color1 where the sum of the cell indices is even, color2 where it is odd. A point with a
    /// non-finite coordinate gets color1.
    AColor EvalColor(ShadeContext& sc) override;
    int GetMapChannel() override { return mapChannel_; }

protected:
    void readParams(TimeValue t, Interval& valid) override;
    StandardTexmap* makeEmpty() override { return new CheckerTexmap(); }
    ClassDesc2* classDesc() override;

private:
    AColor color1_;
    AColor color2_;
    int mapChannel_ = 1;
    float tiling_ = 1.0f;
};

/// The class descriptor of CheckerTexmap (always in a ClassDirectory).
ClassDesc2* GetCheckerTexmapDesc();

}  // namespace host
