// Block descriptions built from the host's argument list, with a clear refusal of each kind of
// malformed list (the plug-in's own description checks what a sound list gives); and headless
// parameter maps: which parameters a rollout shows, the dialog procedure's initialisation
// message, and refusals (the plug-in's editor tests cover enabling and rollups).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/host/class_desc2.h"
#include "platform/host/imtl_params.h"
#include "platform/host/imtl_render_compatibility.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/param_map2_user_dlg_proc.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using OwnerDesc = testing::StubClassDesc<>;
using PlainDesc = testing::StubClassDesc<ClassDesc>;
using testing::TestMtl;

// Records the last message it was given.
struct RecordingProc : ParamMap2UserDlgProc {
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM, LPARAM) override {
        seen = {t, map, hWnd, msg};
        return 0;
    }
    void DeleteThis() override {}
    std::tuple<TimeValue, IParamMap2*, HWND, UINT> seen;
};

// Each malformed list must be refused with a message that names the problem.
void expectRefused(const std::string& needle, auto&&... args) {
    try {
        ParamBlockDesc2 pbd(std::forward<decltype(args)>(args)...);
        ADD_FAILURE() << "accepted a list that should fail with: " << needle;
    } catch (const ParamBlockDescError& e) {
        EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
    }
}

TEST(HostParamBlockDesc, RegistersWithItsOwnerForItsLifetimeAndRefusesMalformedLists) {
    OwnerDesc owner(Class_ID(1, 2));
    {
        ParamBlockDesc2 pbd(3, "scoped", 0, &owner, 0, 0, "x", TYPE_FLOAT, 0, 0, p_end, p_end);
        EXPECT_EQ(owner.GetParamBlockDescByID(3), &pbd);
    }
    EXPECT_EQ(owner.NumParamBlockDescs(), 0);
    // A block of one parameter "x" of the given type, then the given tags.
    auto refusedParam = [&](const std::string& needle, auto type, auto... tags) {
        expectRefused(needle, 0, "b", 0, &owner, 0, 0, "x", type, 0, 0, tags..., p_end, p_end);
    };
    expectRefused("the list ends", 0, "b", 0, &owner, 0, 0, "x", TYPE_FLOAT, 0, 0, p_end);
    refusedParam("p_default must be a float", TYPE_FLOAT, p_default, 1);
    refusedParam("p_default must be an integer", TYPE_INT, p_default, 1.0f);
    refusedParam("p_default must be a Color", TYPE_RGBA, p_default, 1.0f);
    refusedParam("outside p_range", TYPE_FLOAT, p_default, 5.0f, p_range, 0.0f, 1.0f);
    refusedParam("low is above high", TYPE_INT, p_range, 5, 1);
    refusedParam("not a finite", TYPE_FLOAT, p_default, 1e300);
    refusedParam("type 3 is not supported", 3);
    refusedParam("parameter id is declared twice", TYPE_INT, p_end, 0, "y", TYPE_INT, 0, 0);
    refusedParam("internal name is declared twice", TYPE_INT, p_end, 1, "x", TYPE_INT, 0, 0);
    refusedParam("p_default is given twice", TYPE_INT, p_default, 1, p_default, 2);
    refusedParam("needs a block with P_AUTO_UI", TYPE_BOOL, p_ui, TYPE_SINGLECHEKBOX, 100);
    refusedParam("p_subtexno is only for TYPE_TEXMAP", TYPE_INT, p_subtexno, 0);
    refusedParam("must be a tag", TYPE_INT, 5);
    expectRefused("cannot be animatable", 0, "b", 0, &owner, 0, 0, "m", TYPE_TEXMAP, P_ANIMATABLE,
                  0, p_end, p_end);
    expectRefused("arguments follow", 0, "b", 0, &owner, 0, p_end, 5);
    expectRefused("P_MULTIMAP needs P_AUTO_UI", 0, "b", 0, &owner, P_MULTIMAP, p_end);
    // A block with one rollout (map 0) and its procedure, then one parameter "x" of the given
    // type with the given tags.
    RecordingProc proc;
    auto refusedUi = [&](const std::string& needle, ParamMap2UserDlgProc* dlgProc, auto type, auto... tags) {
        expectRefused(needle, 0, "b", 0, &owner, P_AUTO_UI | P_MULTIMAP, 1, 0, 0, 6, 0, 0, dlgProc,
                      0, "x", type, 0, 0, tags..., p_end, p_end);
    };
    refusedUi("does not declare", nullptr, TYPE_BOOL, p_ui, 4, TYPE_SINGLECHEKBOX, 100);
    refusedUi("cannot show a TYPE_FLOAT", &proc, TYPE_FLOAT, p_ui, 0, TYPE_COLORSWATCH, 100);
    refusedUi("edit type 0 does not suit", nullptr, TYPE_FLOAT, p_ui, 0, TYPE_SPINNER, EDITTYPE_INT,
              100, 101, 1.0f);
    refusedUi("control id 100 is used twice", nullptr, TYPE_BOOL, p_ui, 0, TYPE_SINGLECHEKBOX, 100,
              p_end, 1, "y", TYPE_BOOL, 0, 0, p_ui, 0, TYPE_SINGLECHEKBOX, 100);
    refusedUi("control type 7 is not supported", nullptr, TYPE_BOOL, p_ui, 0, 7, 100);
    constexpr int ui = P_AUTO_UI | P_MULTIMAP;
    expectRefused("rollout map id 0 is declared twice", 0, "b", 0, &owner, ui, 2, 0, 0, 6, 0, 0,
                  nullptr, 0, 0, 7, 0, 0, nullptr, p_end);
    expectRefused("must be a dialog procedure", 0, "b", 0, &owner, ui, 1, 0, 0, 6, 0, 0, "proc",
                  p_end);
    PlainDesc plain(Class_ID(3, 4));
    expectRefused("the owner must be a ClassDesc2", 0, "b", 0, &plain, 0, p_end);
    expectRefused("owner class descriptor must be", 0, "b", 0, 5, 0, p_end);
    expectRefused("block flags hold bits", 0, "b", 0, &owner, 0x100, p_end);
    EXPECT_EQ(owner.NumParamBlockDescs(), 0) << "a refused description registers nowhere";
}

class CompatInterface : public IMtlRender_Compatibility_MtlBase {
public:
    bool IsCompatibleWithRenderer(ClassDesc& renderer) override {
        return renderer.ClassID() == Class_ID(9, 9);
    }
};

TEST(HostInterfaceDesc, LoadDescriptorRegistersTheStaticInterface) {
    OwnerDesc owner(Class_ID(1, 2));
    CompatInterface compat;
    compat.LoadDescriptor(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID,
                          u"IMtlRender_Compability_MtlBase", 0, &owner, 0, p_end);
    EXPECT_EQ(owner.GetInterface(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID), &compat);
    EXPECT_EQ(owner.GetInterface(Interface_ID(1, 1)), nullptr);
    CompatInterface other;
    EXPECT_THROW(other.LoadDescriptor(Interface_ID(2, 2), u"x", 0, &owner, 0, 1, p_end),
                 std::invalid_argument);
    EXPECT_THROW(other.LoadDescriptor(Interface_ID(2, 2), u"x", 0, &owner, 0),
                 std::invalid_argument);
    EXPECT_EQ(owner.NumInterfaces(), 1);
}

TEST(HostParamMap, ShowsTheParametersOfItsMapOrTemplateAndRefusesBadOnes) {
    auto* mtl = new TestMtl();
    IMtlParams editor;
    editor.SetTime(40);
    RecordingProc proc;
    IParamMap2* other = CreateMParamMap2(1, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         u"Other", 0, &proc, nullptr, ROLLUP_CAT_STANDARD);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->ShownParams(), (std::vector<ParamID>{TestMtl::kEnabled, TestMtl::kMode}));
    EXPECT_EQ(proc.seen, std::make_tuple(40, other, other->GetHWnd(), UINT(WM_INITDIALOG)));
    other->Enable(TestMtl::kGloss, true);
    EXPECT_FALSE(other->HasControls(TestMtl::kGloss));
    EXPECT_FALSE(other->IsEnabled(TestMtl::kGloss)) << "shown in the other map";

    DLGTEMPLATE dialog;  // count's spinner 203 is missing
    for (int id : {200, 201, 202}) {
        dialog.controls.emplace_back().id = id;
        dialog.controls.back().kind = id == 201 ? DialogControlKind::spinner : DialogControlKind::editBox;
    }
    IParamMap2* map = CreateMParamMap2(0, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr,
                                       &dialog, u"t", 0, nullptr, nullptr, ROLLUP_CAT_STANDARD);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->ShownParams(), (std::vector<ParamID>{TestMtl::kGloss}));
    for (auto [mapId, block] : {std::pair{5, mtl->pblock}, {0, nullptr}}) {
        IParamMap2* refused = CreateMParamMap2(mapId, block, &editor, nullptr, nullptr, nullptr, nullptr, nullptr, u"t",
                                               0, nullptr, nullptr, 0);
        EXPECT_EQ(refused, nullptr) << mapId;
    }
    auto* second = new TestMtl();
    EXPECT_TRUE(map->SetParamBlock(second->pblock));
    EXPECT_EQ(map->GetParamBlock(), second->pblock);
    IParamBlock2 foreign(nullptr);
    EXPECT_FALSE(map->SetParamBlock(&foreign));
    EXPECT_FALSE(map->SetParamBlock(nullptr));
    EXPECT_EQ(editor.NumRollups(), 2);
    DestroyMParamMap2(map);
    DestroyMParamMap2(other);
    DestroyMParamMap2(nullptr);
    EXPECT_EQ(editor.NumRollups(), 0);
    second->DeleteThis();
    mtl->DeleteThis();
}

}  // namespace
}  // namespace host
