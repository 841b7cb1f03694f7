// A small material for the host layer's tests and fuzzer: one parameter block with a parameter
// of every supported type, two rollouts, chunk 0x4000 around the MtlBase data, and a count of
// live instances so tests can tell that nothing was leaked or left half-built.
#pragma once

#include "platform/host/class_desc2.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/mtl.h"

namespace host::testing {

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

    TestMtl();
    ~TestMtl() override;

    Class_ID ClassID() override { return kClassID; }
    void GetClassName(MSTR& s) override { s = MSTR(u"TestMtl"); }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pblock; }
    IParamBlock2* GetParamBlockByID(BlockID id) override {
        return pblock != nullptr && pblock->ID() == id ? pblock : nullptr;
    }
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, bool propagate) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    IParamBlock2* pblock = nullptr;
    int changeMessages = 0;
    RefTargetHandle lastChangedTarget = nullptr;

    /// Instances alive now.
    static int live;

protected:
    void SetReference(int i, RefTargetHandle target) override;
};

ClassDesc2* GetTestMtlDesc();

}  // namespace host::testing
