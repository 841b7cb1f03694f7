// Headless parameter maps: which parameters a rollout shows, the dialog procedure's
// initialisation message, and refusals. (The plug-in's editor tests cover enabling and rollups.)
#include <gtest/gtest.h>

#include <tuple>

#include "platform/host/imtl_params.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/param_map2_user_dlg_proc.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using testing::TestMtl;

struct RecordingProc : ParamMap2UserDlgProc {
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM, LPARAM) override {
        seen = {t, map, hWnd, msg};
        return 0;
    }
    void DeleteThis() override {}
    std::tuple<TimeValue, IParamMap2*, HWND, UINT> seen;
};

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
