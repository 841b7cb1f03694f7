// The renderer calls BRDFs, BSDFs and materials by virtual slot number, so each operation must sit
// in its slot and no stray virtual may follow; and BRDFs draw their samples through getDMCParam.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace {

using namespace KuvoUtils;

// Slot of a pointer to virtual member function, from its Itanium C++ ABI representation
// (1 + byte offset into the vtable); -1 when not virtual, -2 on other ABIs.
template <class MemberFunction>
int slotOf(MemberFunction function) {
#if defined(__x86_64__) && !defined(_MSC_VER)
    std::ptrdiff_t repr[2];
    static_assert(sizeof function == sizeof repr);
    std::memcpy(repr, &function, sizeof repr);
    return (repr[0] & 1) == 0 ? -1 : static_cast<int>((repr[0] - 1) / sizeof(void*));
#else
    (void)function;
    return -2;
#endif
}

template <class... MemberFunctions>
std::vector<int> slotsOf(MemberFunctions... functions) {
    return {slotOf(functions)...};
}

std::vector<int> firstSlots(int count) {
    std::vector<int> slots(static_cast<std::size_t>(count));
    std::iota(slots.begin(), slots.end(), 0);
    return slots;
}

// The smallest concrete BRDF, with one virtual of its own: it must land right after the base's
// last slot (a stray virtual in the base, say a destructor, would move it).
struct MinimalBRDF : BRDFSampler {
    Color getDiffuseColor(const KuvoContext&) override { return {}; }
    Color filterColor(const Color&) override { return {}; }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override {
        return {};
    }
    int isOpaque() override { return 0; }
    int getNumSamples(const KuvoContext&) override { return 0; }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override { return nullptr; }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override { return 0.0f; }
    const RenderChannelsInfo* getRenderChannels() override { return nullptr; }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override {}
    virtual void extra() {}
};
struct MoreBSDF : BSDFSampler {
    virtual void extra() {}
};
struct MoreMtl : KuvoRenderMtl {
    virtual void extra() {}
};

TEST(RendererSlots, EveryOperationInItsSlotAndNothingAfter) {
    if (slotOf(&MoreBSDF::extra) == -2) GTEST_SKIP() << "vtable layout not readable on this ABI";
    using B = BRDFSampler;
    EXPECT_EQ(slotsOf(&B::getDiffuseColor, &B::getDiffuseNormal, &B::filterColor, &B::evalLight,
                      &B::multiplyLight, &B::lightFinished, &B::isOpaque, &B::traceForward,
                      &B::getNumSamples, &B::getTransparency, &B::getColor, &B::getAlpha,
                      &B::spawnSampleContext, &B::sampleDirection, &B::getRenderChannels,
                      &B::getNumSubBRDFs, &B::getSubBRDF, &B::getSelfIllumination, &B::evalPdfs,
                      &B::chooseRandomSubBRDF, &B::makeFrame, &MinimalBRDF::extra),
              firstSlots(22));
    using S = BSDFSampler;
    EXPECT_EQ(slotsOf(&S::getBRDF, &S::traceBSDFForward, &S::getBSDFTransparency, &S::getVolume,
                      &MoreBSDF::extra),
              firstSlots(5));
    using M = KuvoRenderMtl;
    EXPECT_EQ(
        slotsOf(&M::prepareRender, &M::finishRender, &M::attachLog, &M::detachLog, &M::acquireBSDF,
                &M::releaseBSDF, &M::recordInteger, &M::reservedQuery, &M::shade, &MoreMtl::extra),
        firstSlots(10));
    EXPECT_EQ(sizeof(KuvoRenderMtl), sizeof(void*)) << "the interface carries no data";
}

struct ScriptedContext : KuvoContext {
    float next = 0.0f;
    int asked = -1;
    float sampleValue(int dimension) override { return asked = dimension, next; }
};

TEST(RendererSampler, GetDMCParamForwardsAndStaysInTheUnitInterval) {
    MinimalBRDF brdf;
    ScriptedContext cx;
    cx.next = 0.625f;
    EXPECT_EQ(brdf.getDMCParam(cx, 3), 0.625f);
    EXPECT_EQ(cx.asked, 3);
    // A renderer sequence that strays is pulled back into [0, 1).
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto [stray, expected] : {std::pair{1.0f, belowOne},
                                   {7.5f, belowOne},
                                   {inf, belowOne},
                                   {-0.25f, 0.0f},
                                   {-inf, 0.0f},
                                   {nan, 0.0f}}) {
        cx.next = stray;
        EXPECT_EQ(brdf.getDMCParam(cx, 1), expected) << stray;
    }
}

}  // namespace
