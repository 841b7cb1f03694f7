// Parameter blocks: defaults, ranges, non-finite values, keys and validity, notifications,
// scripting by name and reset.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using testing::TestMtl;

class HostParamBlock : public ::testing::Test {
protected:
    void SetUp() override { mtl = new TestMtl(); }
    void TearDown() override { mtl->DeleteThis(); }
    IParamBlock2& pb() { return *mtl->pblock; }
    TestMtl* mtl = nullptr;
};

TEST_F(HostParamBlock, NewBlockHoldsTheDefaultsAndKnowsItsOwner) {
    ASSERT_NE(mtl->pblock, nullptr);
    EXPECT_EQ(pb().GetOwner(), mtl);
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 0.5f);
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 8);
    EXPECT_EQ(pb().GetColor(TestMtl::kTint), Color(1.0f, 0.5f, 0.25f));
    EXPECT_EQ(pb().GetInt(TestMtl::kEnabled), 1);
    EXPECT_EQ(pb().GetTexmap(TestMtl::kMap), nullptr);
    EXPECT_EQ(pb().GetFloat(TestMtl::kScale), 2.0f);
    EXPECT_EQ(pb().NumRefs(), 1);
}

TEST_F(HostParamBlock, ReadsCheckTypeIdAndTab) {
    float f = -1.0f;
    int i = -1;
    Interval valid = FOREVER;
    EXPECT_FALSE(pb().GetValue(TestMtl::kCount, 0, f, valid)) << "int parameter read as float";
    EXPECT_FALSE(pb().GetValue(TestMtl::kGloss, 0, i, valid)) << "float parameter read as int";
    EXPECT_FALSE(pb().GetValue(99, 0, f, valid));
    EXPECT_FALSE(pb().GetValue(TestMtl::kGloss, 0, f, valid, 1));
    EXPECT_EQ(f, -1.0f);
    EXPECT_EQ(i, -1);
    EXPECT_TRUE(pb().GetValue(TestMtl::kEnabled, 0, i, valid)) << "bools read as ints";
    EXPECT_FALSE(pb().SetValue(TestMtl::kGloss, 0, 1)) << "int into a float parameter";
}

TEST_F(HostParamBlock, ValuesAreClampedIntoTheRange) {
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 0, 25.0f));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 10.0f);
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 0, -3.0f));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 0.0f);
    EXPECT_TRUE(pb().SetValue(TestMtl::kCount, 0, 0));
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 1);
    EXPECT_TRUE(pb().SetValue(TestMtl::kCount, 0, 1000000));
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 100);
    EXPECT_TRUE(pb().SetValue(TestMtl::kEnabled, 0, 7));
    EXPECT_EQ(pb().GetInt(TestMtl::kEnabled), 1) << "bools are 0 or 1";
    EXPECT_TRUE(pb().SetKey(TestMtl::kCount, 10, 500));
    EXPECT_EQ(pb().GetInt(TestMtl::kCount, 10), 100) << "keys are clamped too";
}

TEST_F(HostParamBlock, NonFiniteValuesAreHandledSoundly) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(pb().SetValue(TestMtl::kGloss, 0, nan));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 0.5f) << "a refused value leaves the old one";
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 0, inf));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 10.0f) << "an infinity clamps to the range end";
    EXPECT_FALSE(pb().SetValue(TestMtl::kScale, 0, inf)) << "no range to clamp to";
    EXPECT_FALSE(pb().SetValue(TestMtl::kScale, 0, -inf));
    EXPECT_EQ(pb().GetFloat(TestMtl::kScale), 2.0f);
    EXPECT_FALSE(pb().SetValue(TestMtl::kTint, 0, Color(0.0f, nan, 0.0f)));
    EXPECT_FALSE(pb().SetKey(TestMtl::kGloss, 5, nan));
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 0);
}

TEST_F(HostParamBlock, ConstantParametersAreValidForever) {
    Interval valid = FOREVER;
    float gloss = 0.0f;
    pb().GetValue(TestMtl::kGloss, 1234, gloss, valid);
    EXPECT_EQ(valid, FOREVER);
}

TEST_F(HostParamBlock, KeyedFloatInterpolatesAndNarrowsValidity) {
    ASSERT_TRUE(pb().SetKey(TestMtl::kGloss, 0, 1.0f));
    ASSERT_TRUE(pb().SetKey(TestMtl::kGloss, 10, 3.0f));
    struct Case {
        TimeValue t;
        float value;
        Interval validity;
    };
    const Case cases[] = {
        {-50, 1.0f, Interval(TIME_NegInfinity, 0)},
        {0, 1.0f, Interval(TIME_NegInfinity, 0)},
        {5, 2.0f, Interval(5, 5)},
        {10, 3.0f, Interval(10, TIME_PosInfinity)},
        {99, 3.0f, Interval(10, TIME_PosInfinity)},
    };
    for (const Case& c : cases) {
        Interval valid = FOREVER;
        float v = 0.0f;
        ASSERT_TRUE(pb().GetValue(TestMtl::kGloss, c.t, v, valid));
        EXPECT_FLOAT_EQ(v, c.value) << "t=" << c.t;
        EXPECT_EQ(valid, c.validity) << "t=" << c.t;
    }
    Interval caller(3, 100);
    float v = 0.0f;
    pb().GetValue(TestMtl::kGloss, 20, v, caller);
    EXPECT_EQ(caller, Interval(10, 100)) << "reads only narrow the caller's interval";
}

TEST_F(HostParamBlock, KeyedIntRoundsAndBoolHolds) {
    pb().SetKey(TestMtl::kCount, 0, 1);
    pb().SetKey(TestMtl::kCount, 4, 4);
    EXPECT_EQ(pb().GetInt(TestMtl::kCount, 1), 2) << "1.75 rounds to 2";
    EXPECT_EQ(pb().GetInt(TestMtl::kCount, 2), 3) << "2.5 rounds away from zero";
    pb().SetKey(TestMtl::kEnabled, 0, 0);
    pb().SetKey(TestMtl::kEnabled, 10, 1);
    pb().SetKey(TestMtl::kEnabled, 20, 0);
    Interval valid = FOREVER;
    int on = -1;
    pb().GetValue(TestMtl::kEnabled, 15, on, valid);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(valid, Interval(10, 19)) << "a bool holds until the next key";
    valid = FOREVER;
    pb().GetValue(TestMtl::kEnabled, -5, on, valid);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(valid, Interval(TIME_NegInfinity, 9));
}

TEST_F(HostParamBlock, KeyedColourInterpolatesPerChannel) {
    pb().SetKey(TestMtl::kTint, 0, Color(0.0f, 1.0f, 0.0f));
    pb().SetKey(TestMtl::kTint, 100, Color(1.0f, 0.0f, 0.5f));
    const Color c = pb().GetColor(TestMtl::kTint, 25);
    EXPECT_FLOAT_EQ(c.r, 0.25f);
    EXPECT_FLOAT_EQ(c.g, 0.75f);
    EXPECT_FLOAT_EQ(c.b, 0.125f);
}

TEST_F(HostParamBlock, SettingAnAnimatedParameterSetsAKey) {
    pb().SetKey(TestMtl::kGloss, 0, 1.0f);
    pb().SetKey(TestMtl::kGloss, 10, 2.0f);
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 10, 4.0f));
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 2);
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 10), 4.0f);
    EXPECT_TRUE(pb().SetValue(TestMtl::kGloss, 5, 9.0f));
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 3);
    EXPECT_EQ(pb().GetKeyTime(TestMtl::kGloss, 1), 5);
    EXPECT_TRUE(pb().DeleteKeys(TestMtl::kGloss, 5));
    EXPECT_FALSE(pb().IsAnimated(TestMtl::kGloss));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 1000), 9.0f)
        << "keeps the value it had at the given time";
    EXPECT_FALSE(pb().SetKey(TestMtl::kScale, 0, 1.0f)) << "not animatable";
    EXPECT_FALSE(pb().SetKey(TestMtl::kMode, 0, 1));
}

TEST_F(HostParamBlock, ChangesNotifyTheOwnerAndNameTheParameter) {
    const int before = mtl->changeMessages;
    pb().SetValue(TestMtl::kCount, 0, 12);
    EXPECT_EQ(mtl->changeMessages, before + 1);
    EXPECT_EQ(mtl->lastChangedTarget, mtl->pblock);
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kCount);
    pb().SetKey(TestMtl::kTint, 3, Color(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kTint);
    EXPECT_FALSE(pb().SetValue(TestMtl::kScale, 0, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kTint) << "a refused value is no change";
    EXPECT_EQ(mtl->changeMessages, before + 2);
}

TEST_F(HostParamBlock, MapParameterIsAReferenceAndItsChangesReachTheOwner) {
    auto* map = new ConstantTexmap();
    ASSERT_TRUE(pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(map)));
    EXPECT_EQ(pb().GetReference(0), map);
    EXPECT_EQ(map->NumDependents(), 1);
    pb().SetValue(TestMtl::kGloss, 0, 1.0f);
    const int before = mtl->changeMessages;
    map->pblock->SetValue(ConstantTexmap::kAlpha, 0, 0.5f);
    EXPECT_EQ(mtl->changeMessages, before + 1);
    EXPECT_EQ(mtl->lastChangedTarget, mtl->pblock);
    EXPECT_EQ(pb().LastNotifyParamID(), TestMtl::kMap) << "the block names the map's parameter";
    EXPECT_TRUE(pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(nullptr)));
    EXPECT_EQ(pb().GetTexmap(TestMtl::kMap),
              nullptr);  // and the orphaned map deleted itself (ASan)
}

TEST_F(HostParamBlock, ScriptingByInternalName) {
    EXPECT_TRUE(pb().SetValueByName(u"gloss", 0, ParamScriptValue(2.5f)));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 2.5f);
    EXPECT_TRUE(pb().SetValueByName(u"gloss", 0, ParamScriptValue(4)));
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss), 4.0f);
    EXPECT_TRUE(pb().SetValueByName(u"count", 0, ParamScriptValue(30.0f)));
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 30);
    EXPECT_FALSE(pb().SetValueByName(u"count", 0, ParamScriptValue(30.5f)));
    EXPECT_FALSE(pb().SetValueByName(u"count", 0,
                                     ParamScriptValue(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_FALSE(pb().SetValueByName(u"count", 0, ParamScriptValue(3e9f)));
    EXPECT_TRUE(pb().SetValueByName(u"enabled", 0, ParamScriptValue(false)));
    EXPECT_FALSE(pb().SetValueByName(u"tint", 0, ParamScriptValue(1.0f)));
    EXPECT_FALSE(pb().SetValueByName(u"no_such_param", 0, ParamScriptValue(1)));
    const auto enabled = pb().GetValueByName(u"enabled", 0);
    ASSERT_TRUE(enabled.has_value());
    EXPECT_EQ(std::get<bool>(*enabled), false);
    const auto tint = pb().GetValueByName(u"tint", 0);
    ASSERT_TRUE(tint.has_value());
    EXPECT_EQ(std::get<Color>(*tint), Color(1.0f, 0.5f, 0.25f));
    EXPECT_FALSE(pb().GetValueByName(u"Gloss", 0).has_value()) << "names are case-sensitive";
}

TEST_F(HostParamBlock, ResetRestoresDefaultsThroughTheClassDescriptor) {
    pb().SetValue(TestMtl::kCount, 0, 50);
    pb().SetKey(TestMtl::kGloss, 0, 1.0f);
    pb().SetKey(TestMtl::kGloss, 9, 2.0f);
    pb().SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(new CheckerTexmap()));
    testing::GetTestMtlDesc()->Reset(mtl);
    EXPECT_EQ(pb().GetInt(TestMtl::kCount), 8);
    EXPECT_EQ(pb().NumKeys(TestMtl::kGloss), 0);
    EXPECT_EQ(pb().GetFloat(TestMtl::kGloss, 9), 0.5f);
    EXPECT_EQ(pb().GetTexmap(TestMtl::kMap), nullptr);
    EXPECT_EQ(pb().LastNotifyParamID(), -1);
}

TEST_F(HostParamBlock, ClassDescriptorCountsUIInvalidations) {
    ClassDesc2* cd = testing::GetTestMtlDesc();
    const int before = cd->UIInvalidations();
    cd->InvalidateUI(pb().GetDesc(), TestMtl::kMode, -1);
    EXPECT_EQ(cd->UIInvalidations(), before + 1);
    EXPECT_EQ(cd->LastInvalidatedParam(), TestMtl::kMode);
}

}  // namespace
}  // namespace host
