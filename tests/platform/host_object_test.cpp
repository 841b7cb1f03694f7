// Host objects: references (both sides in step, orphans deleted, dying targets clearing their
// dependents, change messages, cloning); modules, their strings and image lists.
#include <gtest/gtest.h>

#include <array>

#include "platform/host/constant_texmap.h"
#include "platform/host/image_list.h"
#include "platform/host/module.h"
#include "platform/host/remap_dir.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using testing::TestMtl;

// A maker and target with `slots` references, counting its deaths and recording what it hears.
class Holder : public ReferenceTarget {
public:
    explicit Holder(int slots, int* deaths = nullptr) : slots_(static_cast<std::size_t>(slots)), deaths_(deaths) {}
    ~Holder() override { if (deaths_ != nullptr) ++*deaths_; }
    int NumRefs() override { return static_cast<int>(slots_.size()); }
    RefTargetHandle GetReference(int i) override { return slots_[static_cast<std::size_t>(i)]; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&, RefMessage message, bool) override {
        messages.push_back(message);
        targets.push_back(hTarget);
        return answer;
    }
    std::vector<RefMessage> messages;
    std::vector<RefTargetHandle> targets;
    RefResult answer = REF_SUCCEED;

protected:
    void SetReference(int i, RefTargetHandle target) override { slots_[static_cast<std::size_t>(i)] = target; }
    std::vector<RefTargetHandle> slots_;
    int* deaths_;
};

TEST(HostReference, ReplaceKeepsBothSidesDeletesOrphansAndRefusesBadSlots) {
    int deaths = 0;
    auto* a = new Holder(2, &deaths);
    auto* b = new Holder(1, &deaths);
    auto* target = new Holder(0, &deaths);
    ASSERT_EQ(a->ReplaceReference(0, target), REF_SUCCEED);
    ASSERT_EQ(a->ReplaceReference(1, target), REF_SUCCEED);
    ASSERT_EQ(b->ReplaceReference(0, target), REF_SUCCEED);
    EXPECT_EQ(target->NumDependents(), 3);
    a->DeleteReference(0);
    EXPECT_EQ(target->NumDependents(), 2);
    a->DeleteThis();  // a dying maker releases its targets
    EXPECT_EQ(std::pair(deaths, target->NumDependents()), std::pair(1, 1)) << "still referenced by b";
    b->DeleteReference(0);
    EXPECT_EQ(deaths, 2) << "the last reference gone, the target deletes itself";
    // A dying target clears its dependents' slots and tells them.
    auto* survivor = new Holder(0, &deaths);
    b->ReplaceReference(0, survivor);
    survivor->DeleteThis();
    EXPECT_EQ(b->GetReference(0), nullptr);
    EXPECT_EQ(b->messages.back(), REFMSG_TARGET_DELETED);
    delete b;  // must not touch the deleted target again (ASan)

    // Each link of a long chain orphans the next; deleting them recursively would overflow the stack.
    constexpr int kLinks = 200000;
    deaths = 0;
    auto* head = new Holder(1, &deaths);
    for (int i = 1; i < kLinks; ++i) {
        auto* link = new Holder(1, &deaths);
        link->ReplaceReference(0, head);
        head = link;
    }
    head->DeleteThis();
    EXPECT_EQ(deaths, kLinks);

    Holder lone(1);
    for (auto [slot, self] : {std::pair<int, Holder*>{0, &lone}, {3, nullptr}, {-1, nullptr}})
        EXPECT_EQ(lone.ReplaceReference(slot, self), REF_FAIL) << slot;
    EXPECT_EQ(lone.NumDependents(), 0);
}

TEST(HostReference, ChangesPropagateNamingTheDirectTargetAndEndInACycle) {
    auto* top = new Holder(1);
    auto* middle = new Holder(1);
    auto* leaf = new Holder(0);
    top->ReplaceReference(0, middle);
    middle->ReplaceReference(0, leaf);
    leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(middle->targets, std::vector<RefTargetHandle>{leaf});
    EXPECT_EQ(top->targets, std::vector<RefTargetHandle>{middle}) << "each hears its own target";
    middle->answer = REF_DONTCARE;
    leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(top->targets.size(), 1u) << "a dependent that does not answer REF_SUCCEED stops propagation";
    delete top;

    auto* a = new Holder(1);
    auto* b = new Holder(1);
    a->ReplaceReference(0, b);
    b->ReplaceReference(0, a);
    b->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_TRUE(a->messages.size() > 1u && a->messages.size() < 100u) << a->messages.size();
    b->DeleteReference(0);  // orphans a, whose deletion orphans b: both go (ASan checks)
}

TEST(HostReference, CloneThroughRemapClonesSharedTargetsOnce) {
    auto* original = new TestMtl();
    auto* map = new ConstantTexmap();
    ASSERT_TRUE(original->pblock->SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(map)));
    original->pblock->SetValue(TestMtl::kGloss, 0, 3.0f);
    RemapDir remap;
    auto* copy = static_cast<TestMtl*>(remap.CloneRef(original));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(remap.CloneRef(original), copy);
    EXPECT_EQ(copy->pblock->GetFloat(TestMtl::kGloss), 3.0f);
    Texmap* copiedMap = copy->pblock->GetTexmap(TestMtl::kMap);
    ASSERT_NE(copiedMap, nullptr);
    EXPECT_NE(copiedMap, map);
    EXPECT_EQ(remap.FindMapping(map), copiedMap);
    const int before = TestMtl::live;
    copy->DeleteThis();
    original->DeleteThis();
    EXPECT_EQ(TestMtl::live, before - 2);
}

Bitmap solid(int w, int h, int bpp) {
    return Bitmap{w, h, bpp, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * (bpp == 24 ? 3 : 1)), 0x7f)};
}

TEST(HostModule, LoadStringTruncatesAndTerminates) {
    auto module = std::make_unique<Module>(WStr(u"strings.dlt"));
    module->AddString(5, WStr(u"abcdef"));
    const HINSTANCE handle = RegisterModule(std::move(module));
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(LoadStringW(handle, 5, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(LoadStringW(handle, 5, nullptr, 0), 6);
    EXPECT_EQ(LoadStringW(handle, 6, buffer, 4), 0);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(GetModuleHandleW(u"STRINGS.dlt"), handle) << "found by name without case";
    UnregisterModule(handle);
    EXPECT_EQ(GetModuleHandleW(u"strings.dlt"), nullptr);
}

TEST(HostIconList, CutsBitmapsIntoIconsWithMasks) {
    auto module = std::make_unique<Module>(WStr(u"icons.dlt"));
    for (auto [id, width, height, bits] : {std::array{101, 33, 11, 24}, {102, 33, 11, 1}, {103, 32, 11, 24},
                                           {104, 33, 12, 24}, {105, 32, 11, 1}})
        module->AddBitmap(id, solid(width, height, bits));
    const HINSTANCE handle = RegisterModule(std::move(module));
    EXPECT_EQ(LoadBitmapW(handle, 999), nullptr);
    HIMAGELIST list = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 5, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), LoadBitmapW(handle, 102)), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 103), LoadBitmapW(handle, 105)), -1) << "not whole images";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 104), LoadBitmapW(handle, 102)), -1) << "wrong height";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), nullptr), -1) << "the list needs masks";
    EXPECT_EQ(ImageList_Add(list, LoadBitmapW(handle, 101), LoadBitmapW(handle, 102)), 3);
    EXPECT_EQ(ImageList_GetImageCount(list), 6);
    EXPECT_EQ(list->images[4].color.pixels.size(), 11u * 11u * 3u);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_Create(0, 11, ILC_COLOR24, 1, 0), nullptr);
    UnregisterModule(handle);
}

}  // namespace
}  // namespace host
