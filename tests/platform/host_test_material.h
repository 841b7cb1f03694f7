// A small material for the host layer's tests and fuzzer: a parameter of every supported type in two
// rollouts, and a count of live instances so tests can tell nothing leaked or was left half-built.
#pragma once

#include "platform/host/mtl.h"
#include "platform/host/remap_dir.h"
#include "tests/support/stub_class_desc.h"

namespace host::testing {

ClassDesc2* GetTestMtlDesc();

class TestMtl : public Mtl {
public:
    static constexpr Class_ID kClassID{0x7e5a0001, 0x00c0ffee};
    enum ParamId : ParamID {
        kGloss = 0,    // float, animatable, 0..10, default 0.5
        kCount = 1,    // int, animatable, 1..100, default 8
        kTint = 2,     // colour, animatable, default (1, 0.5, 0.25)
        kEnabled = 3,  // bool, animatable, default true
        kMap = 4,      // map
        kScale = 5,    // float, not animatable, no range, default 2
        kMode = 6,     // int, not animatable, 0..1, combo box
    };

    TestMtl() {
        ++live;
        GetTestMtlDesc()->MakeAutoParamBlocks(this);
    }
    ~TestMtl() override { --live; }

    Class_ID ClassID() override { return kClassID; }
    void GetClassName(MSTR& s) override { s = MSTR(u"TestMtl"); }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pblock; }
    IParamBlock2* GetParamBlockByID(BlockID id) override {
        return pblock != nullptr && pblock->ID() == id ? pblock : nullptr;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&, RefMessage message, bool) override {
        if (message == REFMSG_CHANGE) {
            ++changeMessages;
            lastChangedTarget = hTarget;
        }
        return REF_SUCCEED;
    }
    ReferenceTarget* Clone(RemapDir& remap) override {
        auto* copy = new TestMtl();
        static_cast<MtlBase&>(*copy) = *this;
        BaseClone(this, copy, remap);
        copy->ReplaceReference(0, remap.CloneRef(pblock));
        return copy;
    }

    IParamBlock2* pblock = nullptr;
    int changeMessages = 0;
    RefTargetHandle lastChangedTarget = nullptr;
    static inline int live = 0;  // instances alive now

protected:
    void SetReference(int i, RefTargetHandle t) override { if (i == 0) pblock = dynamic_cast<IParamBlock2*>(t); }
};

inline ClassDesc2* GetTestMtlDesc() {
    struct Statics {
        StubClassDesc<> cd{TestMtl::kClassID, MATERIAL_CLASS_ID, [](auto&) { return new TestMtl(); }};
        // clang-format off
        ParamBlockDesc2 pbd{
            0, u"TestMtl parameters", 0, &cd, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0,
            2, 0, 0, 6, 0, 0, nullptr, 1, 0, 7, 0, APPENDROLL_CLOSED, nullptr,
            TestMtl::kGloss, u"gloss", TYPE_FLOAT, P_ANIMATABLE, 0, p_default, 0.5f, p_range, 0.0f, 10.0f,
                p_ui, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 200, 201, SPIN_AUTOSCALE, p_tooltip, 11, p_end,
            TestMtl::kCount, u"count", TYPE_INT, P_ANIMATABLE, 0, p_default, 8, p_range, 1, 100,
                p_ui, 0, TYPE_SPINNER, EDITTYPE_INT, 202, 203, 1.0f, p_end,
            TestMtl::kTint, u"tint", TYPE_RGBA, P_ANIMATABLE, 0, p_default, Color(1.0f, 0.5f, 0.25f),
                p_ui, 0, TYPE_COLORSWATCH, 204, p_end,
            TestMtl::kEnabled, u"enabled", TYPE_BOOL, P_ANIMATABLE, 0, p_default, true,
                p_ui, 1, TYPE_SINGLECHEKBOX, 205, p_end,
            TestMtl::kMap, u"map", TYPE_TEXMAP, 0, 0, p_ui, 0, TYPE_TEXMAPBUTTON, 206, p_subtexno, 0, p_end,
            TestMtl::kScale, u"scale", TYPE_FLOAT, 0, 0, p_default, 2.0f, p_end,
            TestMtl::kMode, u"mode", TYPE_INT, 0, 0, p_default, 0, p_range, 0, 1,
                p_ui, 1, TYPE_INT_COMBOBOX, 207, 2, 20, 21, p_end,
            p_end};
        // clang-format on
    };
    static Statics statics;
    return &statics.cd;
}

}  // namespace host::testing
