#include "tests/platform/host_test_material.h"

#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/remap_dir.h"

namespace host::testing {

namespace {

constexpr USHORT kMtlChunk = 0x4000;

class TestMtlClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    ReferenceTarget* Create(bool) override { return new TestMtl(); }
    const MCHAR* ClassName() override { return u"TestMtl"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return TestMtl::kClassID; }
    const MCHAR* Category() override { return u""; }
};

struct Statics {
    TestMtlClassDesc cd;
    // clang-format off
    ParamBlockDesc2 pbd{
        0, u"TestMtl parameters", 0, &cd, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0,
        2,
            0, 0, 6, 0, 0, nullptr,
            1, 0, 7, 0, APPENDROLL_CLOSED, nullptr,
        TestMtl::kGloss, u"gloss", TYPE_FLOAT, P_ANIMATABLE, 0,
            p_default, 0.5f, p_range, 0.0f, 10.0f,
            p_ui, 0, TYPE_SPINNER, EDITTYPE_FLOAT, 200, 201, SPIN_AUTOSCALE, p_tooltip, 11, p_end,
        TestMtl::kCount, u"count", TYPE_INT, P_ANIMATABLE, 0,
            p_default, 8, p_range, 1, 100,
            p_ui, 0, TYPE_SPINNER, EDITTYPE_INT, 202, 203, 1.0f, p_end,
        TestMtl::kTint, u"tint", TYPE_RGBA, P_ANIMATABLE, 0,
            p_default, Color(1.0f, 0.5f, 0.25f), p_ui, 0, TYPE_COLORSWATCH, 204, p_end,
        TestMtl::kEnabled, u"enabled", TYPE_BOOL, P_ANIMATABLE, 0,
            p_default, true, p_ui, 1, TYPE_SINGLECHEKBOX, 205, p_end,
        TestMtl::kMap, u"map", TYPE_TEXMAP, 0, 0,
            p_ui, 0, TYPE_TEXMAPBUTTON, 206, p_subtexno, 0, p_end,
        TestMtl::kScale, u"scale", TYPE_FLOAT, 0, 0, p_default, 2.0f, p_end,
        TestMtl::kMode, u"mode", TYPE_INT, 0, 0,
            p_default, 0, p_range, 0, 1, p_ui, 1, TYPE_INT_COMBOBOX, 207, 2, 20, 21, p_end,
        p_end};
    // clang-format on
};

Statics& statics() {
    static Statics s;
    return s;
}

}  // namespace

int TestMtl::live = 0;

ClassDesc2* GetTestMtlDesc() { return &statics().cd; }

TestMtl::TestMtl() {
    ++live;
    GetTestMtlDesc()->MakeAutoParamBlocks(this);
}

TestMtl::~TestMtl() { --live; }

void TestMtl::SetReference(int i, RefTargetHandle target) {
    if (i == 0) pblock = dynamic_cast<IParamBlock2*>(target);
}

RefResult TestMtl::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                    RefMessage message, bool) {
    if (message == REFMSG_CHANGE) {
        ++changeMessages;
        lastChangedTarget = hTarget;
    }
    return REF_SUCCEED;
}

ReferenceTarget* TestMtl::Clone(RemapDir& remap) {
    auto* copy = new TestMtl();
    static_cast<MtlBase&>(*copy) = *this;
    BaseClone(this, copy, remap);
    copy->ReplaceReference(0, remap.CloneRef(pblock));
    return copy;
}

IOResult TestMtl::Save(ISave* isave) {
    isave->BeginChunk(kMtlChunk);
    const IOResult result = MtlBase::Save(isave);
    if (result != IO_OK) return result;
    isave->EndChunk();
    return IO_OK;
}

IOResult TestMtl::Load(ILoad* iload) {
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kMtlChunk && MtlBase::Load(iload) != IO_OK) return IO_ERROR;
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    return result == IO_END ? IO_OK : IO_ERROR;
}

}  // namespace host::testing
