// The class descriptor and the library's entry points as the host sees them in-process: the
// exported functions, creation, renderer compatibility, browser icons and category, the module
// the library registers when it is loaded.
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
using test::MaterialHandle;

TEST(PluginEntry, LoadRegistersTheModuleAndCommonControls) {
    const HINSTANCE module = GetModuleHandleW(u"kuvostochasticflakesmtl2015.dlt");
    ASSERT_NE(module, nullptr) << "registered when the code was loaded, before any use";
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->HInstance(), module);
    EXPECT_TRUE(LibraryEntry::commonControlsInitialised());
    const int inits = CommonControlsInitCount();
    EXPECT_TRUE(LibraryEntry::enter(module));
    EXPECT_EQ(CommonControlsInitCount(), inits) << "only the first entry initialises them";
}

TEST(StochasticFlakesMtlClassDesc, CreatesMaterialsWithTheirBlock) {
    for (bool loading : {false, true}) {
        MaterialHandle m(static_cast<StochasticFlakesMtl*>(GetStochasticFlakesMtlDesc()->Create(loading)));
        ASSERT_NE(m->pblock, nullptr);
        EXPECT_EQ(m->pblock->GetDesc(), GetStochasticFlakesParamBlockDesc());
    }
    EXPECT_EQ(KuvoUtils::initPBlockDescCalls(), 1) << "handed to the renderer once, at the first material";
}

TEST(StochasticFlakesMtlClassDescThreads, FirstMaterialsOnManyThreadsInitialiseTheDescriptionOnce) {
    std::vector<std::thread> threads;
    std::vector<std::unique_ptr<MaterialHandle>> made(8);
    for (int i = 0; i < 8; ++i) threads.emplace_back([&made, i] { made[static_cast<std::size_t>(i)] = std::make_unique<MaterialHandle>(); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(KuvoUtils::initPBlockDescCalls(), 1);
    for (auto& m : made) EXPECT_NE((*m)->pblock, nullptr);
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
    EXPECT_EQ(ImageList_GetImageCount(first), 3);
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
    ASSERT_EQ(GetModuleHandleW(u"sme.gup"), nullptr);
    EXPECT_EQ(std::u16string_view(entry.GetEntryCategory()), u"Materials\\Kuvo");

    // A module that lacks the word keeps the fixed text and is asked again next time.
    auto empty = std::make_unique<Module>(u"SME.GUP");
    const HINSTANCE emptyHandle = RegisterModule(std::move(empty));
    EXPECT_EQ(std::u16string_view(entry.GetEntryCategory()), u"Materials\\Kuvo");
    UnregisterModule(emptyHandle);

    auto sme = std::make_unique<Module>(u"sme.gup");
    sme->AddString(432, u"Matériaux");
    const HINSTANCE smeHandle = RegisterModule(std::move(sme));
    EXPECT_EQ(std::u16string_view(entry.GetEntryCategory()), u"Matériaux\\Kuvo");
    const int reads = smeHandle->ResourceReads();
    EXPECT_EQ(entry.GetEntryCategory(), materialBrowserCategory()) << "the same stored text";
    EXPECT_EQ(smeHandle->ResourceReads(), reads) << "built once, not read again";

    // Without the module the fixed text comes back; with it again, the stored one.
    UnregisterModule(smeHandle);
    EXPECT_EQ(std::u16string_view(entry.GetEntryCategory()), u"Materials\\Kuvo");
    auto other = std::make_unique<Module>(u"sme.gup");
    other->AddString(432, u"Materialien");
    const HINSTANCE otherHandle = RegisterModule(std::move(other));
    EXPECT_EQ(std::u16string_view(entry.GetEntryCategory()), u"Matériaux\\Kuvo");
    EXPECT_EQ(otherHandle->ResourceReads(), 0);
    UnregisterModule(otherHandle);
}

}  // namespace
}  // namespace glitter
