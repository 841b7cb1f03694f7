// Parameter blocks (malformed descriptions refused, typed reads, ranges, non-finite values, keys,
// validity, notifications, scripting, reset), headless parameter maps and the host's own texmaps.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "platform/host/checker_texmap.h"
#include "platform/host/class_desc2.h"
#include "platform/host/constant_texmap.h"
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

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Records the last message it was given.
struct RecordingProc : ParamMap2UserDlgProc {
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM, LPARAM) override {
        seen = {t, map, hWnd, msg};
        return 0;
    }
    void DeleteThis() override {}
    std::tuple<TimeValue, IParamMap2*, HWND, UINT> seen;
};

struct CompatInterface : IMtlRender_Compatibility_MtlBase {
    bool IsCompatibleWithRenderer(ClassDesc&) override { return false; }
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
    expectRefused("cannot be animatable", 0, "b", 0, &owner, 0, 0, "m", TYPE_TEXMAP, P_ANIMATABLE, 0, p_end, p_end);
    expectRefused("arguments follow", 0, "b", 0, &owner, 0, p_end, 5);
    expectRefused("P_MULTIMAP needs P_AUTO_UI", 0, "b", 0, &owner, P_MULTIMAP, p_end);
    // A block with one rollout (map 0) and its procedure, then "x" of the given type and tags.
    RecordingProc proc;
    auto refusedUi = [&](const std::string& needle, ParamMap2UserDlgProc* dlgProc, auto type, auto... tags) {
        expectRefused(needle, 0, "b", 0, &owner, P_AUTO_UI | P_MULTIMAP, 1, 0, 0, 6, 0, 0, dlgProc, 0, "x", type, 0, 0,
                      tags..., p_end, p_end);
    };
    refusedUi("does not declare", nullptr, TYPE_BOOL, p_ui, 4, TYPE_SINGLECHEKBOX, 100);
    refusedUi("cannot show a TYPE_FLOAT", &proc, TYPE_FLOAT, p_ui, 0, TYPE_COLORSWATCH, 100);
    refusedUi("edit type 0 does not suit", nullptr, TYPE_FLOAT, p_ui, 0, TYPE_SPINNER, EDITTYPE_INT, 100, 101, 1.0f);
    refusedUi("control id 100 is used twice", nullptr, TYPE_BOOL, p_ui, 0, TYPE_SINGLECHEKBOX, 100,
              p_end, 1, "y", TYPE_BOOL, 0, 0, p_ui, 0, TYPE_SINGLECHEKBOX, 100);
    refusedUi("control type 7 is not supported", nullptr, TYPE_BOOL, p_ui, 0, 7, 100);
    constexpr int ui = P_AUTO_UI | P_MULTIMAP;
    expectRefused("rollout map id 0 is declared twice", 0, "b", 0, &owner, ui, 2, 0, 0, 6, 0, 0,
                  nullptr, 0, 0, 7, 0, 0, nullptr, p_end);
    expectRefused("must be a dialog procedure", 0, "b", 0, &owner, ui, 1, 0, 0, 6, 0, 0, "proc", p_end);
    PlainDesc plain(Class_ID(3, 4));
    expectRefused("the owner must be a ClassDesc2", 0, "b", 0, &plain, 0, p_end);
    expectRefused("owner class descriptor must be", 0, "b", 0, 5, 0, p_end);
    expectRefused("block flags hold bits", 0, "b", 0, &owner, 0x100, p_end);
    EXPECT_EQ(owner.NumParamBlockDescs(), 0) << "a refused description registers nowhere";

    // A static interface's descriptor registers it with the owner, and its list must be sound too.
    CompatInterface compat, other;
    compat.LoadDescriptor(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID,
                          u"IMtlRender_Compability_MtlBase", 0, &owner, 0, p_end);
    EXPECT_EQ(owner.GetInterface(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID), &compat);
    EXPECT_EQ(owner.GetInterface(Interface_ID(1, 1)), nullptr);
    EXPECT_THROW(other.LoadDescriptor(Interface_ID(2, 2), u"x", 0, &owner, 0, 1, p_end), std::invalid_argument);
    EXPECT_THROW(other.LoadDescriptor(Interface_ID(2, 2), u"x", 0, &owner, 0), std::invalid_argument);
    EXPECT_EQ(owner.NumInterfaces(), 1);
}

class HostParamBlock : public ::testing::Test {
protected:
    ~HostParamBlock() override { mtl->DeleteThis(); }
    IParamBlock2& pb() { return *mtl->pblock; }
    TestMtl* mtl = new TestMtl();
};

TEST_F(HostParamBlock, MapsShowTheParametersOfTheirMapOrTemplateAndRefuseBadOnes) {
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
    for (auto [mapId, block] : {std::pair{5, mtl->pblock}, {0, nullptr}})
        EXPECT_EQ(CreateMParamMap2(mapId, block, &editor, nullptr, nullptr, nullptr, nullptr, nullptr, u"t", 0, nullptr,
                                   nullptr, 0), nullptr) << mapId;
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
}

// Typed reads and writes; values are clamped into the range, unsound ones refused, the old kept.
TEST_F(HostParamBlock, TypesAreCheckedValuesClampedOrRefused) {
    float f = -1.0f;
    int i = -1;
    Interval valid = FOREVER;
    EXPECT_FALSE(pb().GetValue(TestMtl::kCount, 0, f, valid)) << "int parameter read as float";
    EXPECT_FALSE(pb().GetValue(TestMtl::kGloss, 0, i, valid)) << "float parameter read as int";
    EXPECT_FALSE(pb().GetValue(99, 0, f, valid));
    EXPECT_FALSE(pb().GetValue(TestMtl::kGloss, 0, f, valid, 1));
    EXPECT_EQ(std::pair(f, i), std::pair(-1.0f, -1));
    EXPECT_TRUE(pb().GetValue(TestMtl::kEnabled, 0, i, valid)) << "bools read as ints";
    EXPECT_FALSE(pb().SetValue(TestMtl::kGloss, 0, 1)) << "int into a float parameter";
    EXPECT_EQ(valid, FOREVER) << "constant parameters are valid forever";

    struct FloatCase { ParamID id; float set; bool accepted; float read; };
    for (const FloatCase& c : {FloatCase{TestMtl::kGloss, kNaN, false, 0.5f}, {TestMtl::kGloss, 25.0f, true, 10.0f},
                               {TestMtl::kGloss, -3.0f, true, 0.0f}, {TestMtl::kGloss, kInf, true, 10.0f},
                               {TestMtl::kScale, kInf, false, 2.0f}, {TestMtl::kScale, -kInf, false, 2.0f}}) {
        EXPECT_EQ(pb().SetValue(c.id, 0, c.set), c.accepted) << c.id << " " << c.set;
        EXPECT_EQ(pb().GetFloat(c.id), c.read) << c.id << " " << c.set;
    }
    struct IntCase { ParamID id; int set, read; };
    for (const IntCase& c : {IntCase{TestMtl::kCount, 0, 1}, {TestMtl::kCount, 1000000, 100}, {TestMtl::kEnabled, 7, 1}}) {
        EXPECT_TRUE(pb().SetValue(c.id, 0, c.set));
        EXPECT_EQ(pb().GetInt(c.id), c.read) << c.id << " " << c.set;
    }
    EXPECT_TRUE(pb().SetKey(TestMtl::kCount, 10, 500));
    EXPECT_EQ(pb().GetInt(TestMtl::kCount, 10), 100) << "keys are clamped too";
    EXPECT_FALSE(pb().SetValue(TestMtl::kTint, 0, Color(0.0f, kNaN, 0.0f)));
    EXPECT_FALSE(pb().SetKey(TestMtl::kGloss, 5, kNaN));
}

TEST_F(HostParamBlock, KeysInterpolateNarrowValidityAndAreSetByValues) {
    ASSERT_TRUE(pb().SetKey(TestMtl::kGloss, 0, 1.0f) && pb().SetKey(TestMtl::kGloss, 10, 3.0f));
    for (auto [id, t, value] : {std::tuple{TestMtl::kCount, 0, 1}, {TestMtl::kCount, 4, 4}, {TestMtl::kEnabled, 0, 0},
                                {TestMtl::kEnabled, 10, 1}, {TestMtl::kEnabled, 20, 0}})
        ASSERT_TRUE(pb().SetKey(id, t, value));
    struct Case { ParamID id; TimeValue t; float value; Interval validity; };
    const Case cases[] = {
        {TestMtl::kGloss, -50, 1.0f, Interval(TIME_NegInfinity, 0)},
        {TestMtl::kGloss, 0, 1.0f, Interval(TIME_NegInfinity, 0)},
        {TestMtl::kGloss, 5, 2.0f, Interval(5, 5)},
        {TestMtl::kGloss, 10, 3.0f, Interval(10, TIME_PosInfinity)},
        {TestMtl::kGloss, 99, 3.0f, Interval(10, TIME_PosInfinity)},
        {TestMtl::kCount, 1, 2, Interval(1, 1)},  // 1.75 rounds to 2
        {TestMtl::kCount, 2, 3, Interval(2, 2)},  // 2.5 rounds away from zero
        {TestMtl::kEnabled, 15, 1, Interval(10, 19)},  // a bool holds until the next key
        {TestMtl::kEnabled, -5, 0, Interval(TIME_NegInfinity, 9)},
    };
    for (const Case& c : cases) {
        Interval valid = FOREVER;
        float f = 0.0f;
        int i = 0;
        ASSERT_TRUE(c.id == TestMtl::kGloss ? pb().GetValue(c.id, c.t, f, valid) : pb().GetValue(c.id, c.t, i, valid));
        EXPECT_FLOAT_EQ(c.id == TestMtl::kGloss ? f : static_cast<float>(i), c.value) << c.id << " at " << c.t;
        EXPECT_EQ(valid, c.validity) << c.id << " at " << c.t;
    }

    pb().SetKey(TestMtl::kTint, 0, Color(0.0f, 1.0f, 0.0f));
    pb().SetKey(TestMtl::kTint, 100, Color(1.0f, 0.0f, 0.5f));
    EXPECT_EQ(pb().GetColor(TestMtl::kTint, 25), Color(0.25f, 0.75f, 0.125f)) << "per channel";

    // Setting an animated parameter sets a key.
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 10, 4.0f));
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 2);
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 10), 4.0f);
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 5, 9.0f));
    EXPECT_EQ(pb().GetKeyTime(TestMtl::kGloss, 1), 5);
    EXPECT_TRUE(pb().DeleteKeys(TestMtl::kGloss, 5));
    EXPECT_FALSE(pb().IsAnimated(TestMtl::kGloss));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 1000), 9.0f) << "keeps the value it had at the given time";
    EXPECT_FALSE(pb().SetKey(TestMtl::kScale, 0, 1.0f)) << "not animatable";
}

TEST_F(HostParamBlock, ChangesNotifyTheOwnerAndNameTheParameter) {
    const int before = mtl->changeMessages;
    pb().SetValue(TestMtl::kCount, 0, 12);
    EXPECT_EQ(mtl->lastChangedTarget, mtl->pblock);
    pb().SetKey(TestMtl::kTint, 3, Color(0.1f, 0.2f, 0.3f));
    EXPECT_FALSE(pb().SetValue(TestMtl::kScale, 0, kNaN));
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kTint) << "a refused value is no change";
    EXPECT_EQ(mtl->changeMessages, before + 2);

    // A map is a reference of the block; its changes reach the owner naming the map's parameter.
    auto* map = new ConstantTexmap();
    ASSERT_TRUE(pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(map)));
    pb().SetValue(TestMtl::kGloss, 0, 1.0f);
    const int beforeMap = mtl->changeMessages;
    map->pblock->SetValue(ConstantTexmap::kAlpha, 0, 0.5f);
    EXPECT_EQ(mtl->changeMessages, beforeMap + 1);
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kMap);
    EXPECT_TRUE(pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(nullptr)));
    EXPECT_EQ(pb().GetTexmap(TestMtl::kMap), nullptr);  // and the orphaned map deleted itself (ASan)
}

TEST_F(HostParamBlock, ScriptingByInternalNameAndReset) {
    struct Case { const char16_t* name; ParamScriptValue value; bool accepted; };
    const Case cases[] = {
        {u"gloss", ParamScriptValue(2.5f), true},  {u"gloss", ParamScriptValue(4), true},
        {u"count", ParamScriptValue(30.0f), true}, {u"count", ParamScriptValue(30.5f), false},
        {u"count", ParamScriptValue(kNaN), false}, {u"count", ParamScriptValue(3e9f), false},
        {u"enabled", ParamScriptValue(false), true}, {u"tint", ParamScriptValue(1.0f), false},
        {u"no_such_param", ParamScriptValue(1), false},
    };
    for (const Case& c : cases) EXPECT_EQ(pb().SetValueByName(c.name, 0, c.value), c.accepted) << WStr(c.name).toUtf8();
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 4.0f);
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 30);
    EXPECT_EQ(pb().GetValueByName(u"tint", 0), ParamScriptValue(Color(1.0f, 0.5f, 0.25f)));
    EXPECT_FALSE(pb().GetValueByName(u"Gloss", 0).has_value()) << "names are case-sensitive";

    // A reset through the class descriptor brings the defaults back.
    pb().SetKey(TestMtl::kGloss, 0, 1.0f);
    pb().SetKey(TestMtl::kGloss, 9, 2.0f);
    pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(new CheckerTexmap()));
    testing::GetTestMtlDesc()->Reset(mtl);
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 8);
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 0);
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 9), 0.5f);
    EXPECT_EQ(pb().GetTexmap(TestMtl::kMap), nullptr);
}

TEST(HostTexmap, ConstantGivesItsColourAndAlphaValidWhileUnkeyed) {
    ConstantTexmap map;
    ShadeContext sc;
    EXPECT_EQ(map.EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
    map.pblock->SetValue(ConstantTexmap::kColor, 0, Color(0.1f, 0.2f, 0.3f));
    map.pblock->SetKey(ConstantTexmap::kAlpha, 0, 0.0f);
    map.pblock->SetKey(ConstantTexmap::kAlpha, 10, 1.0f);
    Interval valid(-100, 100);
    map.Update(4, valid);
    EXPECT_EQ(valid, Interval(4, 4));
    EXPECT_EQ(map.EvalColor(sc), AColor(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_FLOAT_EQ(map.EvalMono(sc), 0.2f);
    EXPECT_EQ(map.Validity(20), Interval(10, TIME_PosInfinity));
    EXPECT_FLOAT_EQ(map.EvalColor(sc).a, 1.0f);
    map.Reset();
    EXPECT_EQ(map.Validity(4), FOREVER);
}

TEST(HostTexmap, CheckerAlternatesOverTheChosenChannel) {
    CheckerTexmap map;
    const AColor black(0.0f, 0.0f, 0.0f, 1.0f);
    const AColor white(1.0f, 1.0f, 1.0f, 1.0f);
    struct Case { int channel; float u, v, w; AColor expected; };
    const auto check = [&](std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            ShadeContext sc;
            sc.SetUVW(c.channel, Point3(c.u, c.v, c.w));
            EXPECT_EQ(map.EvalColor(sc), c.expected) << c.channel << ": " << c.u << " " << c.v << " " << c.w;
        }
    };
    check({{1, 0.25f, 0.25f, 0, black}, {1, 0.75f, 0.25f, 0, black},  // cells are 1/tiling wide
           {1, 1.25f, 0.25f, 0, white}, {1, 1.25f, 1.25f, 0, black},
           {1, -0.25f, 0.25f, 0, white},  // cells below zero continue the pattern
           {1, 0.25f, 0.25f, 1.5f, white},  // w counts too
           {1, 1e30f, 0.25f, 0, black}, {1, kNaN, 0.75f, 0, black},  // huge and NaN stay defined
           {2, 1.25f, 0.25f, 0, black}});  // channel 2 is not read
    map.pblock->SetValue(CheckerTexmap::kMapChannel, 0, 2);
    map.pblock->SetValue(CheckerTexmap::kTiling, 0, 2.0f);
    map.pblock->SetValue(CheckerTexmap::kAlpha2, 0, 0.5f);
    map.pblock->SetValue(CheckerTexmap::kColor1, 0, Color(0.5f, 0.0f, 0.0f));
    Interval valid = FOREVER;
    map.Update(0, valid);
    EXPECT_EQ(map.GetMapChannel(), 2);
    check({{2, 0.75f, 0.25f, 0, AColor(1.0f, 1.0f, 1.0f, 0.5f)},  // tiling 2: u 0.75 is in cell 1
           {2, 0.25f, 0.25f, 0, AColor(0.5f, 0.0f, 0.0f, 1.0f)},
           {1, 1.25f, 0.25f, 0, AColor(0.5f, 0.0f, 0.0f, 1.0f)}});  // channel 1 is no longer read
}

}  // namespace
}  // namespace host
