// The material editor's rollouts: templates generated from the block, the parameter dialog's
// three maps, and the enabling rules after every governing change.
#include <gtest/gtest.h>

#include <set>

#include "platform/host/imtl_params.h"
#include "platform/renderer_host/pb2_template_generator.h"
#include "plugin/rollout_rules.h"
#include "plugin/skel_mtl_dlg_proc.h"
#include "plugin/skel_mtl_param_dlg.h"
#include "plugin/stochastic_flakes_params.h"
#include "tests/plugin/plugin_test_support.h"

namespace glitter {
namespace {

using namespace host;
using KuvoUtils::Pb2TemplateGenerator;
using test::newMaterial;

using TemplatePtr =
    std::unique_ptr<DLGTEMPLATE, decltype([](DLGTEMPLATE* t) { Pb2TemplateGenerator::ReleaseDlgTemplate(t); })>;

bool overlap(const DialogControl& a, const DialogControl& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

TEST(Pb2TemplateGenerator, EachRolloutHoldsExactlyItsControlsOfTheirKinds) {
    auto m = newMaterial();
    const ParamBlockDesc2& desc = *m->pblock->GetDesc();
    // Too narrow a width (10) is widened so a row still fits.
    for (auto [mapId, width] : {std::pair<MapID, int>{0, 217}, {1, 217}, {2, 217}, {2, 10}}) {
        TemplatePtr t(Pb2TemplateGenerator::GenerateTemplate(mapId, m->pblock, u"", width));
        ASSERT_NE(t, nullptr);
        std::set<int> ids, expected;
        for (const ParamDef& d : desc.params)
            if (d.ui && d.ui->mapId == mapId) expected.insert(d.ui->controlIds.begin(), d.ui->controlIds.end());
        for (std::size_t i = 0; i < t->controls.size(); ++i) {
            const DialogControl& c = t->controls[i];
            EXPECT_TRUE(c.kind == DialogControlKind::label || ids.insert(c.id).second) << "control id " << c.id << " twice";
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= t->width && c.y + c.cy <= t->height)
                << "control " << c.id << " inside the rollout";
            for (std::size_t j = i + 1; j < t->controls.size(); ++j)
                EXPECT_FALSE(overlap(c, t->controls[j])) << "controls " << c.id << " and " << t->controls[j].id;
        }
        EXPECT_EQ(ids, expected) << "map " << mapId << " at width " << width;
    }

    TemplatePtr basic(Pb2TemplateGenerator::GenerateTemplate(0, m->pblock, u"", 217));
    using enum DialogControlKind;
    for (auto [id, which, kind] : {std::tuple{kMappingType, 0, comboBox}, {kNumFlakes, 0, editBox}, {kNumFlakes, 1, spinner},
                                   {kEnableFlakes, 0, checkBox}, {kReflectionFilter, 0, colorSwatch}, {kReflectionMap, 0, mapButton}}) {
        const DialogControl* control = basic->Find(desc.GetParamDefByID(id)->ui->controlIds.at(which));
        ASSERT_NE(control, nullptr) << id;
        EXPECT_EQ(control->kind, kind) << id;
    }
    EXPECT_EQ(basic->Find(desc.GetParamDefByID(kMappingType)->ui->controlIds[0])->text,
              u"Explicit UVW channel\nTriplanar from Object XYZ");

    // Unknown maps and blocks give nothing.
    EXPECT_EQ(Pb2TemplateGenerator::GenerateTemplate(3, m->pblock, u"", 217), nullptr);
    EXPECT_EQ(Pb2TemplateGenerator::GenerateTemplate(0, nullptr, u"", 217), nullptr);
}

// The parameter dialog of an open material editor, deleted at scope end.
struct Editor {
    IMtlParams imp;
    SkelMtlParamDlg* dlg = nullptr;
    explicit Editor(StochasticFlakesMtl* m) { dlg = static_cast<SkelMtlParamDlg*>(m->CreateParamDlg(nullptr, &imp)); }
    ~Editor() { if (dlg != nullptr) dlg->DeleteThis(); }
    IParamMap2& map(MapID id) const { return *dlg->GetMap(id); }
};

// The enabling rules written out independently of the code, for every combination of the five
// switches: bits 1 flakes, 2 triplanar mapping, 4 random hue, 8 random saturation, 16 random lightness.
void setSwitches(IParamBlock2& pb, int bits) {
    pb.SetValue(kEnableFlakes, 0, bits & 1);
    pb.SetValue(kMappingType, 0, (bits & 2) != 0 ? kMappingTriplanar : kMappingExplicitUVW);
    pb.SetValue(kRandomHue, 0, (bits >> 2) & 1);
    pb.SetValue(kRandomSaturation, 0, (bits >> 3) & 1);
    pb.SetValue(kRandomLightness, 0, (bits >> 4) & 1);
}

void expectRules(const Editor& e, int bits) {
    const bool f = (bits & 1) != 0, triplanar = (bits & 2) != 0, hue = f && (bits & 4) != 0;
    const std::pair<ParamID, bool> basic[] = {
        {kHilightGlossiness, true}, {kSubdivs, true}, {kReflectionFilter, true}, {kReflectionMap, true},
        {kReflectionMapOn, true}, {kReflectionMapMult, true}, {kNumFlakes, f}, {kBlurAngle, f},
        {kMappingType, f}, {kFlakeScale, f}, {kMapChannel, f && !triplanar}, {kEnableFlakes, true},
    };
    for (const auto& [id, on] : basic) EXPECT_EQ(e.map(0).IsEnabled(id), on) << "basic parameter " << id;
    const std::pair<ParamID, bool> colored[] = {
        {kRandomHue, f}, {kRandomSaturation, hue}, {kRandomLightness, hue},
        {kSaturation, hue && (bits & 8) == 0}, {kLightness, hue && (bits & 16) == 0},
    };
    for (const auto& [id, on] : colored) EXPECT_EQ(e.map(1).IsEnabled(id), on) << "colored parameter " << id;
    for (ParamID id : {kTextureSubdivs, kBlendMin, kBlendMax}) EXPECT_EQ(e.map(2).IsEnabled(id), f) << id;
}

TEST(SkelMtlParamDlg, RulesHoldForEverySwitchCombination) {
    for (int bits = 0; bits < 32; ++bits) {
        SCOPED_TRACE(::testing::Message() << "switches " << bits);
        // Set before the editor opens: the rules run when the rollouts are initialised.
        auto before = newMaterial();
        setSwitches(*before->pblock, bits);
        Editor opened(before.get());
        expectRules(opened, bits);
        // Set while the editor is open: the change notifications re-apply them, both ways.
        auto after = newMaterial();
        Editor open(after.get());
        setSwitches(*after->pblock, bits);
        expectRules(open, bits);
        setSwitches(*after->pblock, 1 | 4);
        expectRules(open, 1 | 4);
    }
}

TEST(SkelMtlParamDlg, ThreeRolloutsEachRefreshedByTheChangesItGovernsAndMovedBetweenMaterials) {
    auto m = newMaterial();
    Editor e(m.get());
    ASSERT_EQ(e.imp.NumRollups(), 3);
    for (int i : {0, 1, 2}) {
        ASSERT_EQ(e.imp.GetRollup(i), e.dlg->GetMap(static_cast<MapID>(i)));
        EXPECT_EQ(e.map(i).GetUserDlgProc(), &SkelMtlDlgProc::instance());
    }
    EXPECT_EQ(e.map(1).GetTitle(), u"Colored flakes parameters");
    EXPECT_TRUE(e.map(0).IsRollupOpen() && e.map(1).IsRollupOpen());
    EXPECT_FALSE(e.map(2).IsRollupOpen()) << "advanced parameters start closed";
    EXPECT_EQ(m->paramDlg(), e.dlg);
    // Spoil one control per rollout, so a refresh shows by setting it right again.
    const ParamID watched[] = {kNumFlakes, kRandomHue, kBlendMin};
    auto spoil = [&] { for (int i : {0, 1, 2}) e.map(i).Enable(watched[i], false); };
    auto refreshed = [&] {
        return std::array{e.map(0).IsEnabled(watched[0]), e.map(1).IsEnabled(watched[1]), e.map(2).IsEnabled(watched[2])};
    };
    const std::pair<ParamID, std::array<bool, 3>> governs[] = {
        {kRandomHue, {false, true, false}},  {kRandomLightness, {false, true, false}},
        {kMappingType, {true, false, false}}, {kNumFlakes, {false, false, false}},  // not a switch
        {kEnableFlakes, {true, true, true}},  // the closed rollout too
    };
    for (const auto& [id, expected] : governs) {
        spoil();
        m->pblock->SetValue(id, 0, id == kNumFlakes ? 5 : 1);
        EXPECT_EQ(refreshed(), expected) << "parameter " << id;
    }

    // A reset changes every switch at once.
    m->pblock->SetValue(kEnableFlakes, 0, 0);
    ASSERT_FALSE(e.map(2).IsEnabled(kBlendMin));
    m->Reset();
    EXPECT_EQ(refreshed(), (std::array<bool, 3>{true, true, true}));
    EXPECT_FALSE(e.map(1).IsEnabled(kSaturation)) << "random_hue is off again";

    // An animated switch counts at time 0, whatever the editor's time.
    m->pblock->SetKey(kEnableFlakes, 0, 0);
    m->pblock->SetKey(kEnableFlakes, 1000, 1);
    e.imp.SetTime(2000);
    m->pblock->SetValue(kRandomHue, 0, 1);
    EXPECT_FALSE(e.map(0).IsEnabled(kNumFlakes));
    EXPECT_FALSE(e.map(1).IsEnabled(kRandomHue));
    m->pblock->SetKey(kEnableFlakes, 0, 1);
    EXPECT_TRUE(e.map(2).IsEnabled(kTextureSubdivs));

    // Moved to another material, the dialog shows its states and hears only its changes.
    auto off = newMaterial();
    off->pblock->SetValue(kEnableFlakes, 0, 0);
    e.dlg->SetThing(off.get());
    EXPECT_EQ(e.map(0).GetParamBlock(), off->pblock);
    EXPECT_FALSE(e.map(0).IsEnabled(kNumFlakes)) << "the rules of the new material's switches";
    EXPECT_EQ(off->paramDlg(), e.dlg);
    EXPECT_EQ(m->paramDlg(), nullptr);
    m->pblock->SetKey(kEnableFlakes, 0, 0);
    off->pblock->SetValue(kEnableFlakes, 0, 1);
    EXPECT_TRUE(e.map(0).IsEnabled(kNumFlakes));
    e.dlg->SetThing(nullptr);
    e.dlg->SetThing(m->pblock);
    EXPECT_EQ(e.dlg->GetThing(), off.get()) << "what is not a material is ignored";
    off.reset();
    EXPECT_EQ(e.dlg->GetThing(), nullptr) << "a material deleted before its dialog leaves it with nothing";

    e.dlg->SetThing(m.get());
    ASSERT_EQ(m->paramDlg(), e.dlg);
    e.dlg->DeleteThis();
    e.dlg = nullptr;
    EXPECT_EQ(e.imp.NumRollups(), 0);
    EXPECT_EQ(m->paramDlg(), nullptr);
}

TEST(SkelMtlDlgProc, InitialisesOnlyMapsOfOwnedBlocks) {
    auto m = newMaterial();
    IParamBlock2* orphan = CreateParameterBlock2(GetStochasticFlakesParamBlockDesc(), nullptr);
    SkelMtlDlgProc& proc = SkelMtlDlgProc::instance();
    IMtlParams imp;
    for (IParamBlock2* block : {m->pblock, orphan}) {
        block->SetValue(kEnableFlakes, 0, 0);
        // Made without the procedure, a map keeps every control enabled until the procedure runs.
        IParamMap2* map = CreateMParamMap2(0, block, &imp, nullptr, nullptr, nullptr, nullptr, nullptr, u"", 0,
                                           nullptr, nullptr, ROLLUP_CAT_STANDARD);
        proc.DlgProc(0, map, map->GetHWnd(), WM_INITDIALOG + 1, 0, 0);
        EXPECT_TRUE(map->IsEnabled(kNumFlakes)) << "other messages change nothing";
        EXPECT_EQ(proc.DlgProc(0, map, map->GetHWnd(), WM_INITDIALOG, 0, 0), 0) << "false to every message";
        EXPECT_EQ(map->IsEnabled(kNumFlakes), block == orphan) << "a block without an owner is left alone";
        DestroyMParamMap2(map);
    }
    orphan->DeleteThis();
    EXPECT_EQ(proc.DlgProc(0, nullptr, nullptr, WM_INITDIALOG, 0, 0), 0);
    applyRolloutRules(nullptr);
}

}  // namespace
}  // namespace glitter
