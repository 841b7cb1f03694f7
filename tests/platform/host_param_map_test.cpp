// Headless parameter maps: which parameters a rollout shows, enabling, the dialog procedure's
// initialisation message and the editor's rollout list.
#include <gtest/gtest.h>

#include "platform/host/imtl_params.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/param_map2_user_dlg_proc.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using testing::TestMtl;

class RecordingProc : public ParamMap2UserDlgProc {
public:
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM, LPARAM) override {
        lastTime = t;
        lastMap = map;
        lastWindow = hWnd;
        lastMessage = msg;
        // Disable a control while initialising, as plug-ins do.
        if (msg == WM_INITDIALOG && map->GetParamBlock()->GetOwner() != nullptr)
            map->Enable(TestMtl::kCount, false);
        return 0;
    }
    void DeleteThis() override {}
    TimeValue lastTime = -1;
    IParamMap2* lastMap = nullptr;
    HWND lastWindow = nullptr;
    UINT lastMessage = 0;
};

class HostParamMap : public ::testing::Test {
protected:
    void SetUp() override { mtl = new TestMtl(); }
    void TearDown() override { mtl->DeleteThis(); }
    TestMtl* mtl = nullptr;
    IMtlParams editor;
    RecordingProc proc;
};

TEST_F(HostParamMap, ShowsTheParametersOfItsMapAndInitialisesTheProcedure) {
    editor.SetTime(40);
    IParamMap2* basic =
        CreateMParamMap2(0, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr, nullptr,
                         u"Basic", 0, &proc, nullptr, ROLLUP_CAT_STANDARD);
    ASSERT_NE(basic, nullptr);
    EXPECT_EQ(basic->ShownParams(), (std::vector<ParamID>{TestMtl::kGloss, TestMtl::kCount,
                                                          TestMtl::kTint, TestMtl::kMap}));
    EXPECT_EQ(proc.lastMessage, WM_INITDIALOG);
    EXPECT_EQ(proc.lastMap, basic);
    EXPECT_EQ(proc.lastWindow, basic->GetHWnd());
    EXPECT_EQ(proc.lastTime, 40);
    EXPECT_FALSE(basic->IsEnabled(TestMtl::kCount)) << "disabled by the procedure";
    EXPECT_TRUE(basic->IsEnabled(TestMtl::kGloss));
    EXPECT_FALSE(basic->IsEnabled(TestMtl::kEnabled)) << "shown in the other map";
    basic->Enable(TestMtl::kEnabled, true);
    EXPECT_FALSE(basic->HasControls(TestMtl::kEnabled));
    EXPECT_TRUE(basic->IsRollupOpen());
    EXPECT_EQ(basic->GetCategory(), ROLLUP_CAT_STANDARD);
    EXPECT_EQ(basic->GetTitle(), u"Basic");

    IParamMap2* other =
        CreateMParamMap2(1, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr, nullptr,
                         u"Other", APPENDROLL_CLOSED, nullptr, nullptr, ROLLUP_CAT_STANDARD);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->IsRollupOpen());
    EXPECT_EQ(other->ShownParams(), (std::vector<ParamID>{TestMtl::kEnabled, TestMtl::kMode}));
    EXPECT_EQ(editor.NumRollups(), 2);
    DestroyMParamMap2(basic);
    EXPECT_EQ(editor.NumRollups(), 1);
    EXPECT_EQ(editor.GetRollup(0), other);
    DestroyMParamMap2(other);
    DestroyMParamMap2(nullptr);
    EXPECT_EQ(editor.NumRollups(), 0);
}

TEST_F(HostParamMap, TemplateLimitsTheControlsAndBadMapsAreRefused) {
    DLGTEMPLATE dialog;
    for (int id : {200, 201, 202}) {  // count's spinner 203 is missing
        DialogControl control;
        control.id = id;
        control.kind = id == 201 ? DialogControlKind::spinner : DialogControlKind::editBox;
        dialog.controls.push_back(control);
    }
    IParamMap2* map = CreateMParamMap2(0, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr,
                                       &dialog, u"t", 0, nullptr, nullptr, ROLLUP_CAT_STANDARD);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->ShownParams(), (std::vector<ParamID>{TestMtl::kGloss}));
    EXPECT_EQ(CreateMParamMap2(5, mtl->pblock, &editor, nullptr, nullptr, nullptr, nullptr, nullptr,
                               u"t", 0, nullptr, nullptr, 0),
              nullptr);
    EXPECT_EQ(CreateMParamMap2(0, nullptr, &editor, nullptr, nullptr, nullptr, nullptr, nullptr,
                               u"t", 0, nullptr, nullptr, 0),
              nullptr);

    auto* other = new TestMtl();
    EXPECT_TRUE(map->SetParamBlock(other->pblock));
    EXPECT_EQ(map->GetParamBlock(), other->pblock);
    IParamBlock2 foreign(nullptr);
    EXPECT_FALSE(map->SetParamBlock(&foreign));
    EXPECT_FALSE(map->SetParamBlock(nullptr));
    DestroyMParamMap2(map);
    other->DeleteThis();
}

}  // namespace
}  // namespace host
