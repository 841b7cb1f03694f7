// The class descriptor and the library's entry points as the host sees them in-process: the
// exported functions, creation, renderer compatibility, browser icons and category, the module
// the library registers when it is loaded.
#include <gtest/gtest.h>

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

namespace glitter {
namespace {

using namespace host;
using test::MaterialHandle;

TEST(PluginEntry, LoadRegistersTheModuleAndCommonControls) {
    const HINSTANCE module = GetModuleHandleW(u"kuvostochasticflakesmtl2015.dlt");
    ASSERT_NE(module, nullptr) << "registered when the code was loaded, before any use";
    EXPECT_EQ(LibraryEntry::instance(), module);
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->HInstance(), module);
    EXPECT_TRUE(LibraryEntry::commonControlsInitialised());
    EXPECT_GE(CommonControlsInitCount(), 1);
    const int inits = CommonControlsInitCount();
    EXPECT_TRUE(LibraryEntry::enter(module));
    EXPECT_EQ(CommonControlsInitCount(), inits) << "only the first entry initialises them";
    EXPECT_EQ(MaxSDK::GetResourceStringAsMSTR(GetStochasticFlakesMtlDesc()->HInstance(), 26), u"Advanced parameters");
}

TEST(StochasticFlakesMtlClassDesc, CreatesMaterialsWithTheirBlock) {
    for (bool loading : {false, true}) {
        MaterialHandle m(static_cast<StochasticFlakesMtl*>(GetStochasticFlakesMtlDesc()->Create(loading)));
        ASSERT_NE(m.get(), nullptr);
        EXPECT_EQ(m->ClassID(), GetStochasticFlakesMtlDesc()->ClassID());
        ASSERT_NE(m->pblock, nullptr);
        EXPECT_EQ(m->pblock->GetDesc(), GetStochasticFlakesParamBlockDesc());
        EXPECT_EQ(m->pblock->GetInt(kNumFlakes), 10000000);
    }
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->GetParamBlockDescByID(0), GetStochasticFlakesParamBlockDesc());
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

class RendererDesc : public ClassDesc {
public:
    explicit RendererDesc(Class_ID id) : id_(id) {}
    int IsPublic() override { return 1; }
    ReferenceTarget* Create(bool) override { return nullptr; }
    const MCHAR* ClassName() override { return u"Renderer"; }
    SClass_ID SuperClassID() override { return RENDERER_CLASS_ID; }
    Class_ID ClassID() override { return id_; }
    const MCHAR* Category() override { return u""; }

private:
    Class_ID id_;
};

TEST(StochasticFlakesMtlClassDesc, PublishedInterfaces) {
    StochasticFlakesMtlClassDesc& cd = *GetStochasticFlakesMtlDesc();
    IMtlRender_Compatibility_MtlBase* compat = Get_IMtlRender_Compability_MtlBase(cd);
    ASSERT_NE(compat, nullptr);
    EXPECT_EQ(cd.GetInterface(Interface_ID(0x5537445b, 0x70a97e02)), compat);
    EXPECT_EQ(compat->GetDesc()->internalName, u"IMtlRender_Compability_MtlBase");
    EXPECT_EQ(compat->GetDesc()->cd, &cd);
    EXPECT_EQ(compat->GetID(), IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID);
    EXPECT_EQ(compat->HInstance(), cd.HInstance());

    auto* entry = dynamic_cast<IMaterialBrowserEntryInfo*>(cd.GetInterface(Interface_ID(0x5e19378b, 0x55535e13)));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->GetID(), Interface_ID(0x5e19378b, 0x55535e13));
    EXPECT_EQ(entry->GetEntryName(), nullptr);
    EXPECT_FALSE(entry->HasEntryThumbnail());
    EXPECT_EQ(entry->GetEntryThumbnail(), nullptr);
    EXPECT_FALSE(entry->IsEntryHidden());
    EXPECT_EQ(cd.GetInterface(Interface_ID(1, 2)), nullptr);

    RendererDesc production(Class_ID(0x73bab286, 0x77f8fd0c));
    RendererDesc scanline(Class_ID(0x00000001, 0x00000000));
    RendererDesc nearMiss(Class_ID(0x73bab286, 0x77f8fd0d));
    EXPECT_TRUE(compat->IsCompatibleWithRenderer(production));
    EXPECT_FALSE(compat->IsCompatibleWithRenderer(scanline));
    EXPECT_FALSE(compat->IsCompatibleWithRenderer(nearMiss));
}

TEST(StochasticFlakesMtlClassDesc, BrowserIconsAreBuiltOnce) {
    IMtlRender_Compatibility_MtlBase* compat = Get_IMtlRender_Compability_MtlBase(*GetStochasticFlakesMtlDesc());
    HIMAGELIST first = nullptr;
    int inactive = -1, active = -1, disabled = -1;
    ASSERT_TRUE(compat->GetCustomMtlBrowserIcon(first, inactive, active, disabled));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(inactive, 0);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(disabled, 2);
    EXPECT_EQ(ImageList_GetImageCount(first), 3);
    EXPECT_EQ(first->width, 11);
    EXPECT_EQ(first->height, 11);
    EXPECT_EQ(first->flags, 25u);
    const int reads = GetStochasticFlakesMtlDesc()->HInstance()->ResourceReads();
    HIMAGELIST second = nullptr;
    ASSERT_TRUE(compat->GetCustomMtlBrowserIcon(second, inactive, active, disabled));
    EXPECT_EQ(second, first);
    EXPECT_EQ(GetStochasticFlakesMtlDesc()->HInstance()->ResourceReads(), reads) << "no bitmap read again";
}

Bitmap solid(int width, int height, int bits) {
    Bitmap b{width, height, bits, {}};
    b.pixels.assign(static_cast<std::size_t>(width * height * (bits == 24 ? 3 : 1)), 1);
    return b;
}

// An image list is only handed out when it holds all three icons: otherwise the browser would
// get indices into a list that lacks them.
TEST(StochasticFlakesMtlClassDesc, IconListNeedsBothBitmapsAndAllThreeIcons) {
    Module noMask(u"no-mask.dlt");
    noMask.AddBitmap(101, solid(33, 11, 24));
    EXPECT_EQ(detail::makeBrowserIconList(&noMask), nullptr);

    Module wrongHeight(u"wrong-height.dlt");
    wrongHeight.AddBitmap(101, solid(33, 12, 24));
    wrongHeight.AddBitmap(102, solid(33, 12, 1));
    EXPECT_EQ(detail::makeBrowserIconList(&wrongHeight), nullptr);

    Module twoIcons(u"two-icons.dlt");
    twoIcons.AddBitmap(101, solid(22, 11, 24));
    twoIcons.AddBitmap(102, solid(22, 11, 1));
    EXPECT_EQ(detail::makeBrowserIconList(&twoIcons), nullptr);

    Module good(u"good.dlt");
    good.AddBitmap(101, solid(33, 11, 24));
    good.AddBitmap(102, solid(33, 11, 1));
    HIMAGELIST list = detail::makeBrowserIconList(&good);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    ImageList_Destroy(list);
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
    const std::u16string first(entry.GetEntryCategory());
    EXPECT_EQ(first, u"Matériaux\\Kuvo");
    const int reads = smeHandle->ResourceReads();
    const MCHAR* again = entry.GetEntryCategory();
    EXPECT_EQ(std::u16string_view(again), first);
    EXPECT_EQ(smeHandle->ResourceReads(), reads) << "built once, not read again";
    EXPECT_EQ(again, materialBrowserCategory()) << "the same stored text";

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
