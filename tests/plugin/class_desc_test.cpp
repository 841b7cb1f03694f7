// The class descriptor, the block description's control ids and the library's resources as the
// host sees them in-process: entry, creation, renderer compatibility, browser icons and category.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "platform/host/image_list.h"
#include "platform/renderer_host/init_pblock_desc.h"
#include "plugin/library_entry.h"
#include "plugin/material_browser_category.h"
#include "plugin/resources.h"
#include "plugin/stochastic_flakes_params.h"
#include "tests/plugin/plugin_test_support.h"
#include "tests/support/stub_class_desc.h"

namespace glitter {
namespace {

using namespace host;
using test::newMaterial;
using OwnerDesc = host::testing::StubClassDesc<>;

TEST(PluginEntry, LoadRegistersTheModuleAndCommonControls) {
    const HINSTANCE module = GetModuleHandleW(u"kuvostochasticflakesmtl2015.dlt");
    ASSERT_NE(module, nullptr) << "registered when the code was loaded, before any use";
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->HInstance(), module);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    EXPECT_EQ(module->Strings().size(), 21u) << "no stray entries";
    EXPECT_TRUE(GetPluginString(7).isNull());
    EXPECT_TRUE(LibraryEntry::commonControlsInitialised());
    const int inits = CommonControlsInitCount();
    EXPECT_TRUE(LibraryEntry::enter(module));
    EXPECT_EQ(CommonControlsInitCount(), inits) << "only the first entry initialises them";
}

// The first materials, made on many threads at once (created or loaded), hand the description
// to the renderer once.
TEST(StochasticFlakesMtlClassDescThreads, FirstMaterialsInitialiseTheDescriptionOnce) {
    std::vector<std::thread> threads;
    std::vector<test::MaterialHandle> made(8);
    for (std::size_t i = 0; i < made.size(); ++i) threads.emplace_back([&made, i] { made[i] = newMaterial(i % 2 == 1); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(KuvoUtils::initPBlockDescCalls(), 1);
    for (auto& m : made) EXPECT_EQ(m->pblock->GetDesc(), GetStochasticFlakesParamBlockDesc());
}

// Ids are handed out from 100 walking the declaration backwards; a spinner takes two, the
// spinner's first (p_ui lists edit box, spinner).
TEST(StochasticFlakesParams, ControlIdsFollowTheDeclarationBackwards) {
    OwnerDesc cd(Class_ID(0x0badf00d, 0x1));
    ControlIdCounter counter;
    const ParamBlockDesc2 pbd = makeStochasticFlakesParamBlockDesc(&cd, counter);
    const std::pair<ParamID, std::vector<int>> worked[] = {{kBlendMax, {101, 100}}, {kRandomLightness, {108}},
                                                           {kReflectionMap, {121}}, {kHilightGlossiness, {128, 127}},
                                                           {kNumFlakes, {130, 129}}, {kEnableFlakes, {131}}};
    for (const auto& [id, ids] : worked) EXPECT_EQ(pbd.GetParamDefByID(id)->ui->controlIds, ids) << id;
    EXPECT_EQ(counter.next(), 132) << "132 is left for the next user";
    // The plug-in's own counter continues where the last description stopped.
    ControlIdCounter& plugin = ControlIdCounter::plugin();
    const int start = plugin.next();
    OwnerDesc other(Class_ID(0x0badf00d, 0x2));
    ParamBlockDesc2 second = makeStochasticFlakesParamBlockDesc(&other);
    EXPECT_EQ(plugin.next(), start + 32);
    EXPECT_EQ(second.GetParamDefByID(kBlendMax)->ui->controlIds, (std::vector<int>{start + 1, start}));
}

TEST(StochasticFlakesMtlClassDesc, PublishedInterfacesAndBrowserIcons) {
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
}

// An image list is only handed out when it holds all three icons: otherwise the browser would
// get indices into a list that lacks them.
TEST(StochasticFlakesMtlClassDesc, IconListNeedsBothBitmapsAndAllThreeIcons) {
    auto solid = [](int width, int height, int bits) {
        return Bitmap{width, height, bits, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * (bits == 24 ? 3 : 1)), 1)};
    };
    struct Case { int width, height; bool mask, made; };
    for (const Case& c : {Case{33, 11, false, false}, Case{33, 12, true, false}, Case{22, 11, true, false}, Case{33, 11, true, true}}) {
        Module module(u"icons.dlt");
        module.AddBitmap(101, solid(c.width, c.height, 24));
        if (c.mask) module.AddBitmap(102, solid(c.width, c.height, 1));
        HIMAGELIST list = detail::makeBrowserIconList(&module);
        EXPECT_EQ(list != nullptr, c.made) << c.width << " x " << c.height;
        EXPECT_EQ(ImageList_GetImageCount(list), c.made ? 3 : 0);
        ImageList_Destroy(list);
    }
    EXPECT_EQ(detail::makeBrowserIconList(nullptr), nullptr);
}

// One test: once the category has been built it stays for the life of the library.
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
