// The control ids of the material's block description, and the plug-in's resources as the host
// reads them. (The material's tests check every parameter's name, id, default and range.)
#include <gtest/gtest.h>

#include "platform/host/image_list.h"
#include "plugin/resources.h"
#include "plugin/stochastic_flakes_params.h"
#include "tests/support/stub_class_desc.h"

namespace glitter {
namespace {

using namespace host;

struct OwnerDesc : host::testing::StubClassDesc<> {
    OwnerDesc() : StubClassDesc(Class_ID(0x0badf00d, 0x1)) {}
};

struct Fixture {
    OwnerDesc cd;
    ControlIdCounter counter;
    ParamBlockDesc2 pbd = makeStochasticFlakesParamBlockDesc(&cd, counter);
};

// Ids are handed out from 100 walking the declaration backwards; a spinner takes two, the
// spinner's first (p_ui lists edit box, spinner).
TEST(StochasticFlakesParams, ControlIdsFollowTheDeclarationBackwards) {
    Fixture f;
    int next = 100;
    for (int i = 20; i >= 0; --i) {
        const ParamDef& d = f.pbd.GetParamDef(i);
        if (!d.ui) continue;
        const std::vector<int> expected = d.ui->controlType == TYPE_SPINNER ? std::vector<int>{next + 1, next} : std::vector<int>{next};
        EXPECT_EQ(d.ui->controlIds, expected) << d.internalName.toUtf8();
        next += static_cast<int>(expected.size());
    }
    EXPECT_EQ(f.counter.next(), 132) << "132 is left for the next user";
    // The plug-in's own counter continues where the last description stopped.
    ControlIdCounter& plugin = ControlIdCounter::plugin();
    const int start = plugin.next();
    OwnerDesc other;
    ParamBlockDesc2 second = makeStochasticFlakesParamBlockDesc(&other);
    EXPECT_EQ(plugin.next(), start + 32);
    EXPECT_EQ(second.GetParamDefByID(kBlendMax)->ui->controlIds, (std::vector<int>{start + 1, start}));
}

TEST(PluginResources, ModuleHoldsTheStringTableAndThreeDistinctBrowserIcons) {
    const HINSTANCE module = registerPluginResources();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(registerPluginResources(), module) << "registered once";
    EXPECT_EQ(module->Strings().size(), 21u) << "no stray entries";
    EXPECT_TRUE(GetPluginString(7).isNull());
    HIMAGELIST list = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 5, 0);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(module, kBitmapBrowserIcons), LoadBitmapW(module, kBitmapBrowserIconsMask)), 0);
    ASSERT_EQ(ImageList_GetImageCount(list), 3) << "33 x 11: three icons";
    EXPECT_NE(list->images[0].color.pixels, list->images[1].color.pixels) << "inactive and active differ";
    EXPECT_NE(list->images[1].color.pixels, list->images[2].color.pixels) << "active and disabled differ";
    ImageList_Destroy(list);
}

}  // namespace
}  // namespace glitter
