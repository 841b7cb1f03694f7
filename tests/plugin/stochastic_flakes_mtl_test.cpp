// The material's host face (sub-objects, cache and validity, reset, clone, hostile stored scenes,
// other renderers) and its class descriptor with the library's entry, browser icons and category.
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <tuple>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host/image_list.h"
#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/remap_dir.h"
#include "platform/host/scene_file.h"
#include "platform/renderer_host/init_pblock_desc.h"
#include "platform/renderer_host/kuvo_shade_context.h"
#include "plugin/library_entry.h"
#include "plugin/material_browser_category.h"
#include "plugin/resources.h"
#include "tests/platform/host_sample_scene.h"
#include "tests/plugin/plugin_test_support.h"
#include "tests/support/recording_shading.h"
#include "tests/support/stub_class_desc.h"

namespace glitter {
namespace {

using namespace host;
using test::dressUp;
using test::newMaterial;
using C = CachedParameterValues;
using test::RecordingShading;
using namespace host::testing;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

TEST(StochasticFlakesMtl, SubObjectsInterfacesAndShade) {
    auto m = newMaterial();
    EXPECT_EQ(m->SubAnim(1), nullptr) << "no map yet";
    auto* map = new ConstantTexmap();
    auto* other = new ConstantTexmap();
    m->SetSubTexmap(0, map);
    m->SetSubTexmap(1, other);
    other->DeleteThis();
    EXPECT_EQ(m->pblock->GetTexmap(kReflectionMap), map) << "only slot 0 can be set";
    EXPECT_EQ(m->SubAnim(1), map);
    // A block of another description cannot take the material's slot.
    ConstantTexmap foreign;
    EXPECT_FALSE(m->AcceptsReference(0, foreign.pblock));
    EXPECT_FALSE(m->AcceptsReference(1, nullptr));
    EXPECT_TRUE(m->AcceptsReference(0, m->pblock));
    void* face = m->GetInterface(ULONG(0x13072005));
    EXPECT_EQ(face, static_cast<KuvoUtils::KuvoRenderMtl*>(m.get())) << "the second base";
    EXPECT_EQ(m->GetInterface(ULONG(0x13072006)), nullptr);

    // Other renderers, and a context that only claims the renderer's class id, see it opaque and
    // black; a zero G-buffer id is not written.
    for (bool impostor : {false, true}) {
        ShadeContext sc;
        if (impostor) sc.SetClassID(KuvoUtils::KuvoShadeContext::kClassID);
        sc.out.c = sc.out.t = Color(1, 1, 1);
        sc.out.gbufId = 9;
        m->Shade(sc);
        EXPECT_EQ(std::tuple(sc.out.c, sc.out.t, sc.out.gbufId), std::tuple(Color(), Color(), 9)) << impostor;
    }
    RecordingShading shading;
    KuvoUtils::KuvoShadeContext renderer(shading);
    renderer.out.c = Color(0.25f, 0.5f, 0.75f);
    m->SetGBufID(12);
    m->Shade(renderer);
    EXPECT_EQ(std::tuple(shading.calls, shading.last, shading.lastGbuf),
              std::tuple(1, static_cast<KuvoUtils::KuvoRenderMtl*>(m.get()), 12));
    EXPECT_EQ(renderer.out.c, Color(0.25f, 0.5f, 0.75f)) << "the renderer writes the result";
}

// Every scalar parameter as stored scenes and scripts know it (id, name, animatable), its default,
// a value set through the block, and a hostile stored value with what it loads as (kNone: none).
struct Field {
    ParamID id;
    const char16_t* name;
    bool animatable;
    std::variant<std::int32_t C::*, float C::*> member;
    double byDefault, set, hostile, loaded;
};
const Field kFields[] = {
    {0, u"hilight_glossiness", true, &C::hilight_glossiness, 0.9, 0.75, -5.0, 0.0},
    {12, u"reflection_map_on", false, &C::reflection_map_on, 1, 0, kNone, kNone},
    {13, u"reflection_map_mult", true, &C::reflection_map_mult, 100, 50.0, 250.0, 100.0},  // %
    {2, u"subdivs", false, &C::subdivs, 8, 3, 0x7fffffff, 1000},
    {3, u"num_flakes", false, &C::num_flakes, 10000000, 1234, -7, 1},
    {4, u"blur_angle", true, &C::blur_angle, 3, 7.5, 25, 20},
    {10, u"flake_scale", true, &C::flake_scale, 1, 2.5, kInf, 1e9f},
    {5, u"enable_flakes", true, &C::enable_flakes, 1, 0, 7, 1},
    {7, u"enable_flakes_in_mtl_editor", true, &C::enable_flakes_in_mtl_editor, 0, 1, kNone, kNone},
    {6, u"texture_subdivs", false, &C::texture_subdivs, 12, 15, 99, 22},
    {9, u"mapping_type", false, &C::mapping_type, 0, kMappingTriplanar, 5, 1},
    {8, u"map_channel", false, &C::map_channel, 1, 4, 0, 1},
    {14, u"random_hue", true, &C::random_hue, 0, 1, kNone, kNone},
    {15, u"random_saturation", true, &C::random_saturation, 0, 1, kNone, kNone},
    {16, u"saturation", true, &C::saturation, 1, 0.25, -kInf, 0.0},
    {17, u"random_lightness", true, &C::random_lightness, 0, 1, kNone, kNone},
    {18, u"lightness", true, &C::lightness, 0.5, 0.125, 2, 1},
    {19, u"blend_min", true, &C::blend_min, 500, 40.0, 1e-30f, 1e-30f},
    {20, u"blend_max", true, &C::blend_max, 700, 80.0, 1e30f, 10000.0},
};

double cachedValue(const C& c, const Field& f) {
    const double v = std::visit([&](auto member) { return static_cast<double>(c.*member); }, f.member);
    return f.id == kReflectionMapMult ? v * 100.0 : v;
}

TEST(StochasticFlakesMtl, UpdateCachesEveryParameter) {
    auto m = newMaterial();
    Interval valid = FOREVER;
    m->Update(0, valid);
    EXPECT_EQ(valid, FOREVER) << "nothing animated, no map";
    const C defaults;
    const C& c = m->cachedValues();
    EXPECT_EQ(std::memcmp(&c, &defaults, sizeof(c)), 0) << "the cache starts at the block's defaults";
    for (const Field& f : kFields) {
        const ParamDef* d = m->pblock->GetDesc()->GetParamDefByID(f.id);
        ASSERT_NE(d, nullptr) << f.id;
        EXPECT_EQ(std::tuple(d->internalName, d->IsAnimatable(), float(cachedValue(c, f))),
                  std::tuple(WStr(f.name), f.animatable, float(f.byDefault)));
    }

    for (const Field& f : kFields) {
        if (std::holds_alternative<float C::*>(f.member)) m->pblock->SetValue(f.id, 0, static_cast<float>(f.set));
        else m->pblock->SetValue(f.id, 0, static_cast<int>(f.set));
    }
    m->pblock->SetValue(kReflectionFilter, 0, Color(0.1f, 0.2f, 0.3f));
    EXPECT_TRUE(m->validity().Empty()) << "every change empties the cache's validity";
    m->Update(0, valid);
    for (const Field& f : kFields) EXPECT_EQ(cachedValue(c, f), static_cast<float>(f.set)) << "parameter " << f.id;
    EXPECT_EQ(c.reflection_filter, KuvoUtils::Color(0.1f, 0.2f, 0.3f));
    // Updating again within the validity reads nothing new: the multiplier is not scaled twice.
    m->Update(0, valid);
    EXPECT_EQ(c.reflection_map_mult, 0.5f);
}

TEST(StochasticFlakesMtl, ValidityFollowsKeysAndTheMap) {
    auto m = newMaterial();
    IParamBlock2& pb = *m->pblock;
    ASSERT_TRUE(pb.SetKey(kHilightGlossiness, 0, 0.2f));
    ASSERT_TRUE(pb.SetKey(kHilightGlossiness, 1000, 0.8f));
    EXPECT_EQ(m->Validity(500), Interval(500, 500));
    EXPECT_FLOAT_EQ(m->cachedValues().hilight_glossiness, 0.5f);
    EXPECT_EQ(m->Validity(-50), Interval(TIME_NegInfinity, 0));
    EXPECT_EQ(m->Validity(2000), Interval(1000, TIME_PosInfinity));
    EXPECT_FLOAT_EQ(m->cachedValues().hilight_glossiness, 0.8f);

    pb.DeleteKeys(kHilightGlossiness, 0);
    EXPECT_EQ(m->Validity(500), FOREVER);

    // The map's own animation narrows the material's validity, and its changes reach the cache.
    auto* map = new ConstantTexmap();
    map->pblock->SetKey(ConstantTexmap::kColor, 0, Color(0, 0, 0));
    map->pblock->SetKey(ConstantTexmap::kColor, 100, Color(1, 1, 1));
    pb.SetValue(kReflectionMap, 0, static_cast<Texmap*>(map));
    EXPECT_EQ(m->Validity(200), Interval(100, TIME_PosInfinity));
    EXPECT_EQ(m->cachedValues().reflection_map, map);
    EXPECT_EQ(m->Validity(50), Interval(50, 50));
    map->pblock->DeleteKeys(ConstantTexmap::kColor, 0);
    EXPECT_TRUE(m->validity().Empty()) << "a change inside the map empties the cache's validity";
    EXPECT_EQ(m->Validity(50), FOREVER);
    // Taking the map out deletes it: the cache must not keep pointing at it until the next Update.
    m->SetSubTexmap(0, nullptr);
    EXPECT_EQ(m->cachedValues().reflection_map, nullptr);

    // The caller's interval is intersected, not replaced.
    Interval narrow(10, 20);
    m->Update(15, narrow);
    EXPECT_EQ(narrow, Interval(10, 20));
}

StochasticFlakesMtl* loadScene(const Bytes& bytes, Scene& loaded) {
    ClassDirectory classes;
    classes.Add(GetStochasticFlakesMtlDesc());
    std::string error;
    EXPECT_EQ(LoadScene(bytes, classes, loaded, error), IO_OK) << error;
    return loaded.NumMaterials() == 1 ? dynamic_cast<StochasticFlakesMtl*>(loaded.GetMaterial(0)) : nullptr;
}

// Overwrites one parameter's stored value: the data chunk 0x0012 after the head 0x0011 naming it.
int plant(Bytes& b, std::size_t begin, std::size_t end, std::uint32_t paramId, std::uint32_t bits) {
    int planted = 0;
    bool named = false;
    for (const RawChunk& c : children(b, begin, end)) {
        if (c.id == 0x0011 && c.length >= 4) named = readU32(b, c.payload()) == paramId;
        if (c.id == 0x0012 && named && c.length == 4) {
            writeU32(b, c.payload(), bits);
            ++planted;
        }
        if (c.container) planted += plant(b, c.payload(), c.end(), paramId, bits);
    }
    return planted;
}

// Equal stored bytes mean equal values, keys, maps and names.
TEST(StochasticFlakesMtl, CloneAndStoredSceneKeepEveryValueResetDropsThemHostileOnesAreClamped) {
    Scene original, copies, fresh;
    StochasticFlakesMtl* m = newMaterial().release();
    original.AddMaterial(m);
    dressUp(*m);
    m->Validity(0);
    const Bytes dressed = saved(original);
    RemapDir remap;
    auto* copy = dynamic_cast<StochasticFlakesMtl*>(remap.CloneRef(m));
    ASSERT_NE(copy, nullptr);
    copies.AddMaterial(copy);
    EXPECT_EQ(copy->pblock->GetOwner(), copy);
    EXPECT_NE(copy->GetSubTexmap(0), m->GetSubTexmap(0)) << "the map is cloned with the block";
    EXPECT_TRUE(copy->validity().Empty());
    copy->Validity(0);
    EXPECT_EQ(copy->cachedValues().reflection_map, copy->GetSubTexmap(0));
    m->pblock->SetValue(kNumFlakes, 0, 1);
    EXPECT_EQ(saved(copies), dressed) << "the original's later changes stay in the original";

    Scene loaded;
    StochasticFlakesMtl* back = loadScene(dressed, loaded);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pblock->GetOwner(), back);
    EXPECT_EQ(std::tuple(back->GetName(), back->GetGBufID()), std::tuple(WStr(u"Disco ball"), 3));
    back->Validity(160);
    EXPECT_EQ(back->cachedValues().random_hue, 1);
    EXPECT_EQ(saved(loaded), dressed);

    m->Reset();
    EXPECT_TRUE(m->validity().Empty());
    EXPECT_EQ(m->GetSubTexmap(0), nullptr);
    StochasticFlakesMtl* plain = newMaterial().release();
    fresh.AddMaterial(plain);
    plain->SetName(m->GetName());
    plain->SetGBufID(m->GetGBufID());
    EXPECT_EQ(saved(original), saved(fresh)) << "the block's defaults, no keys, no map";

    // Hostile stored values load inside the ranges.
    Bytes hostile = saved(fresh);
    for (const Field& f : kFields) {
        if (std::isnan(f.hostile)) continue;
        const std::uint32_t bits = std::holds_alternative<float C::*>(f.member)
                                       ? std::bit_cast<std::uint32_t>(static_cast<float>(f.hostile))
                                       : static_cast<std::uint32_t>(static_cast<std::int64_t>(f.hostile));
        ASSERT_EQ(plant(hostile, 8, hostile.size(), f.id, bits), 1) << "parameter " << f.id;
    }
    Scene clamped;
    back = loadScene(hostile, clamped);
    ASSERT_NE(back, nullptr);
    back->Validity(0);
    for (const Field& f : kFields) {
        if (std::isnan(f.hostile)) continue;
        EXPECT_EQ(cachedValue(back->cachedValues(), f), f.loaded) << "parameter " << f.id;
    }
}

TEST(StochasticFlakesMtl, LoadSkipsForeignChunksAndReportsTheFirstFailure) {
    // A foreign chunk, then material data holding a name of an odd byte count after a good one.
    ISave save;
    save.BeginChunk(0x1234);
    save.WriteI32(42);
    save.EndChunk();
    save.BeginChunk(0x4000);
    auto source = newMaterial();
    source->SetName(u"Named");
    source->MtlBase::Save(&save);
    save.EndChunk();
    auto m = newMaterial();
    ILoad load(save.Bytes());
    EXPECT_EQ(m->Load(&load), IO_OK);
    EXPECT_EQ(m->GetName(), u"Named");
    save.BeginChunk(0x4000);
    save.BeginChunk(0x0100);
    save.WriteU8(0x41);
    save.EndChunk();
    save.EndChunk();
    ASSERT_FALSE(save.Failed());
    ILoad badLoad(save.Bytes());
    EXPECT_EQ(newMaterial()->Load(&badLoad), IO_ERROR);
}

TEST(PluginEntry, LoadRegistersTheModuleAndCommonControls) {
    const HINSTANCE module = GetModuleHandleW(u"kuvostochasticflakesmtl2015.dlt");
    ASSERT_NE(module, nullptr) << "registered when the code was loaded, before any use";
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->HInstance(), module);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    EXPECT_TRUE(LibraryEntry::commonControlsInitialised());
    const int inits = CommonControlsInitCount();
    EXPECT_TRUE(LibraryEntry::enter(module));
    EXPECT_EQ(CommonControlsInitCount(), inits) << "only the first entry initialises them";
}

// The first materials, made (or loaded) on many threads at once, hand the renderer the description once.
TEST(StochasticFlakesMtlClassDescThreads, FirstMaterialsInitialiseTheDescriptionOnce) {
    std::vector<std::thread> threads;
    std::vector<test::MaterialHandle> made(8);
    for (std::size_t i = 0; i < made.size(); ++i) threads.emplace_back([&made, i] { made[i] = newMaterial(i % 2 == 1); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(KuvoUtils::initPBlockDescCalls(), 1);
    for (auto& m : made) EXPECT_EQ(m->pblock->GetDesc(), GetStochasticFlakesParamBlockDesc());
}

TEST(StochasticFlakesMtlClassDesc, PublishedInterfacesAndBrowserIconsOnlyWhenAllThreeAreMade) {
    StochasticFlakesMtlClassDesc& cd = *GetStochasticFlakesMtlDesc();
    IMtlRender_Compatibility_MtlBase* compat = Get_IMtlRender_Compability_MtlBase(cd);
    ASSERT_NE(compat, nullptr);
    EXPECT_EQ(cd.GetInterface(Interface_ID(0x5537445b, 0x70a97e02)), compat);
    EXPECT_NE(dynamic_cast<IMaterialBrowserEntryInfo*>(cd.GetInterface(Interface_ID(0x5e19378b, 0x55535e13))), nullptr);
    for (auto [id, compatible] : {std::pair{Class_ID(0x73bab286, 0x77f8fd0c), true},
                                  {Class_ID(0x00000001, 0x00000000), false}, {Class_ID(0x73bab286, 0x77f8fd0d), false}}) {
        host::testing::StubClassDesc<ClassDesc> renderer(id, RENDERER_CLASS_ID);
        EXPECT_EQ(compat->IsCompatibleWithRenderer(renderer), compatible) << id.PartB();
    }

    HIMAGELIST first = nullptr, second = nullptr;
    int inactive = -1, active = -1, disabled = -1;
    ASSERT_TRUE(compat->GetCustomMtlBrowserIcon(first, inactive, active, disabled));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ((std::array{inactive, active, disabled}), (std::array{0, 1, 2}));
    ASSERT_EQ(ImageList_GetImageCount(first), 3);
    EXPECT_NE(first->images[0].color.pixels, first->images[1].color.pixels) << "inactive and active differ";
    EXPECT_NE(first->images[1].color.pixels, first->images[2].color.pixels) << "active and disabled differ";
    const int reads = cd.HInstance()->ResourceReads();
    ASSERT_TRUE(compat->GetCustomMtlBrowserIcon(second, inactive, active, disabled));
    EXPECT_EQ(second, first) << "built once";
    EXPECT_EQ(cd.HInstance()->ResourceReads(), reads) << "no bitmap read again";

    // A list is only handed out with all three icons, else the browser gets indices it lacks.
    auto solid = [](int width, int height, int bits) {
        return Bitmap{width, height, bits, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * (bits == 24 ? 3 : 1)), 1)};
    };
    struct Case { int width, height; bool mask, made; };
    for (const Case& c : {Case{33, 11, false, false}, Case{33, 12, true, false}, Case{22, 11, true, false}, Case{33, 11, true, true}}) {
        Module module(u"icons.dlt");
        module.AddBitmap(101, solid(c.width, c.height, 24));
        if (c.mask) module.AddBitmap(102, solid(c.width, c.height, 1));
        HIMAGELIST list = detail::makeBrowserIconList(&module);
        EXPECT_EQ(ImageList_GetImageCount(list), c.made ? 3 : 0) << c.width << " x " << c.height;
        EXPECT_EQ(ImageList_Destroy(list), c.made);
    }
    EXPECT_EQ(detail::makeBrowserIconList(nullptr), nullptr);
}

// One test, as the category once built stays for the life of the library.
TEST(MaterialBrowserEntry, CategoryFollowsTheMaterialEditorModule) {
    const IMaterialBrowserEntryInfo& entry = *GetStochasticFlakesMtlDesc();
    auto category = [&] { return std::u16string_view(entry.GetEntryCategory()); };
    auto registerEditor = [](const char16_t* name, const char16_t* word) {
        auto sme = std::make_unique<Module>(name);
        if (word != nullptr) sme->AddString(432, word);
        return RegisterModule(std::move(sme));
    };
    ASSERT_EQ(GetModuleHandleW(u"sme.gup"), nullptr);
    EXPECT_EQ(category(), u"Materials\\Kuvo");
    // A module that lacks the word keeps the fixed text and is asked again next time.
    const HINSTANCE empty = registerEditor(u"SME.GUP", nullptr);
    EXPECT_EQ(category(), u"Materials\\Kuvo");
    UnregisterModule(empty);
    const HINSTANCE sme = registerEditor(u"sme.gup", u"Matériaux");
    EXPECT_EQ(category(), u"Matériaux\\Kuvo");
    const int reads = sme->ResourceReads();
    EXPECT_EQ(entry.GetEntryCategory(), materialBrowserCategory()) << "the same stored text";
    EXPECT_EQ(sme->ResourceReads(), reads) << "built once, not read again";
    // Without the module the fixed text comes back; with it again, the stored one.
    UnregisterModule(sme);
    EXPECT_EQ(category(), u"Materials\\Kuvo");
    const HINSTANCE other = registerEditor(u"sme.gup", u"Materialien");
    EXPECT_EQ(category(), u"Matériaux\\Kuvo");
    EXPECT_EQ(other->ResourceReads(), 0);
    UnregisterModule(other);
}

}  // namespace
}  // namespace glitter
