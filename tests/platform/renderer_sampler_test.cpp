// The renderer calls BRDFs, BSDFs and materials by virtual slot number, so each operation must sit
// in its slot and reach the override of a derived class; and BRDFs draw their samples through
// getDMCParam.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/kuvo_render_mtl.h"
#include "platform/renderer/render_channels_info.h"

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

// The slot read from the ABI, and the override reached by a call through the base pointer.
#define EXPECT_SLOT(slot, member, call)       \
    do {                                      \
        SCOPED_TRACE(#member);                \
        if (slotOf(&member) != -2) {          \
            EXPECT_EQ(slotOf(&member), slot); \
        }                                     \
        call;                                 \
        EXPECT_EQ(ran(), slot);               \
    } while (false)

// Every slot of both bases overridden; each override records its slot (BSDF slots from 100).
class RecordingBSDF : public BRDFSampler, public BSDFSampler {
  public:
    int ran = -1;

    Color getDiffuseColor(const KuvoContext&) override { return ran = 0, Color(); }
    Vector getDiffuseNormal(const KuvoContext&) override { return ran = 1, Vector(); }
    Color filterColor(const Color&) override { return ran = 2, Color(); }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override {
        return ran = 3, Color();
    }
    void multiplyLight(float) override { ran = 4; }
    void lightFinished(int) override { ran = 5; }
    int isOpaque() override { return ran = 6; }
    void traceForward(KuvoContext&, int) override { ran = 7; }
    int getNumSamples(const KuvoContext&) override { return ran = 8; }
    Color getTransparency(const KuvoContext&) override { return ran = 9, Color(); }
    Color getColor(const KuvoContext&, const Color&) override { return ran = 10, Color(); }
    Color getAlpha(const KuvoContext&, const Color&) override { return ran = 11, Color(); }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override { return ran = 12, nullptr; }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override {
        return ran = 13, 1.0f;
    }
    const RenderChannelsInfo* getRenderChannels() override { return ran = 14, nullptr; }
    int getNumSubBRDFs() override { return ran = 15; }
    BRDFSampler* getSubBRDF(int, Color&) override { return ran = 16, nullptr; }
    Color getSelfIllumination(const KuvoContext&) override { return ran = 17, Color(); }
    void evalPdfs(const Vector&, float&, float&, int) override { ran = 18; }
    BRDFSampler* chooseRandomSubBRDF(float&, float&, Color&, int) override {
        return ran = 19, nullptr;
    }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override { ran = 20; }

    BRDFSampler* getBRDF(int) override { return ran = 100, nullptr; }
    void traceBSDFForward(KuvoContext&, int) override { ran = 101; }
    Color getBSDFTransparency(const KuvoContext&) override { return ran = 102, Color(); }
    KuvoVolume* getVolume(const KuvoContext&) override { return ran = 103, nullptr; }
};

TEST(RendererSlots, BRDFAndBSDFSlotsInOrder) {
    RecordingBSDF recorder;
    BRDFSampler* brdf = &recorder;
    KuvoContext cx;
    Vector v;
    Color c;
    Frame frame;
    float f = 0.0f;
    auto ran = [&] { return recorder.ran; };
    EXPECT_SLOT(0, BRDFSampler::getDiffuseColor, brdf->getDiffuseColor(cx));
    EXPECT_SLOT(1, BRDFSampler::getDiffuseNormal, brdf->getDiffuseNormal(cx));
    EXPECT_SLOT(2, BRDFSampler::filterColor, brdf->filterColor(c));
    EXPECT_SLOT(3, BRDFSampler::evalLight, brdf->evalLight(cx, v, c, 0, 1.0f, 2));
    EXPECT_SLOT(4, BRDFSampler::multiplyLight, brdf->multiplyLight(1.0f));
    EXPECT_SLOT(5, BRDFSampler::lightFinished, brdf->lightFinished(1));
    EXPECT_SLOT(6, BRDFSampler::isOpaque, brdf->isOpaque());
    EXPECT_SLOT(7, BRDFSampler::traceForward, brdf->traceForward(cx, 0));
    EXPECT_SLOT(8, BRDFSampler::getNumSamples, brdf->getNumSamples(cx));
    EXPECT_SLOT(9, BRDFSampler::getTransparency, brdf->getTransparency(cx));
    EXPECT_SLOT(10, BRDFSampler::getColor, brdf->getColor(cx, c));
    EXPECT_SLOT(11, BRDFSampler::getAlpha, brdf->getAlpha(cx, c));
    EXPECT_SLOT(12, BRDFSampler::spawnSampleContext, brdf->spawnSampleContext(cx, 0, 0));
    EXPECT_SLOT(13, BRDFSampler::sampleDirection, brdf->sampleDirection(cx, cx, 0.5f));
    EXPECT_SLOT(14, BRDFSampler::getRenderChannels, brdf->getRenderChannels());
    EXPECT_SLOT(15, BRDFSampler::getNumSubBRDFs, brdf->getNumSubBRDFs());
    EXPECT_SLOT(16, BRDFSampler::getSubBRDF, brdf->getSubBRDF(0, c));
    EXPECT_SLOT(17, BRDFSampler::getSelfIllumination, brdf->getSelfIllumination(cx));
    EXPECT_SLOT(18, BRDFSampler::evalPdfs, brdf->evalPdfs(v, f, f, 0));
    EXPECT_SLOT(19, BRDFSampler::chooseRandomSubBRDF, brdf->chooseRandomSubBRDF(f, f, c, 0));
    EXPECT_SLOT(20, BRDFSampler::makeFrame, brdf->makeFrame(cx, v, frame));

    BSDFSampler* bsdf = &recorder;
    {
        auto ran = [&] { return recorder.ran - 100; };
        EXPECT_SLOT(0, BSDFSampler::getBRDF, bsdf->getBRDF(0));
        EXPECT_SLOT(1, BSDFSampler::traceBSDFForward, bsdf->traceBSDFForward(cx, 0));
        EXPECT_SLOT(2, BSDFSampler::getBSDFTransparency, bsdf->getBSDFTransparency(cx));
        EXPECT_SLOT(3, BSDFSampler::getVolume, bsdf->getVolume(cx));
    }
}

class RecordingMaterial : public KuvoRenderMtl {
  public:
    int ran = -1;

    void prepareRender(int, RendererInstance*) override { ran = 0; }
    void finishRender() override { ran = 1; }
    void attachLog(int, RendererInstance*) override { ran = 2; }
    void detachLog() override { ran = 3; }
    BSDFSampler* acquireBSDF(KuvoContext&, int) override { return ran = 4, nullptr; }
    void releaseBSDF(const KuvoContext&, BSDFSampler*) override { ran = 5; }
    void recordInteger(std::int32_t) override { ran = 6; }
    int reservedQuery(int, void*) override { return ran = 7; }
};

// The renderer's side of shade: the hit must come back with the material and its G-buffer id.
struct RecordingShading : KuvoInterface {
    RecordingMaterial* material = nullptr;
    void shadeMaterial(KuvoRenderMtl& m, int id) override {
        material->ran = &m == material && id == 42 ? 8 : -8;
    }
};

TEST(RendererSlots, KuvoRenderMtlSlotsInOrder) {
    RecordingMaterial recorder;
    KuvoRenderMtl* mtl = &recorder;
    RendererInstance renderer;
    KuvoContext cx;
    auto ran = [&] { return recorder.ran; };
    EXPECT_SLOT(0, KuvoRenderMtl::prepareRender, mtl->prepareRender(0, &renderer));
    EXPECT_SLOT(1, KuvoRenderMtl::finishRender, mtl->finishRender());
    EXPECT_SLOT(2, KuvoRenderMtl::attachLog, mtl->attachLog(0, &renderer));
    EXPECT_SLOT(3, KuvoRenderMtl::detachLog, mtl->detachLog());
    EXPECT_SLOT(4, KuvoRenderMtl::acquireBSDF, mtl->acquireBSDF(cx, 0));
    EXPECT_SLOT(5, KuvoRenderMtl::releaseBSDF, mtl->releaseBSDF(cx, nullptr));
    EXPECT_SLOT(6, KuvoRenderMtl::recordInteger, mtl->recordInteger(5));
    EXPECT_SLOT(7, KuvoRenderMtl::reservedQuery, mtl->reservedQuery(0, nullptr));
    RecordingShading shading;
    shading.material = &recorder;
    EXPECT_SLOT(8, KuvoRenderMtl::shade, mtl->shade(shading, 42));
    EXPECT_EQ(sizeof(KuvoRenderMtl), sizeof(void*)) << "the interface carries no data";
}

// One virtual added by a class derived from a single base lands right after the base's last
// slot; a stray extra virtual in the base (a virtual destructor takes two) moves it.
TEST(RendererSlots, TablesHaveNoExtraSlots) {
    struct MoreBRDF : RecordingBSDF {
        virtual void extra() {}
    };
    struct MoreBSDF : BSDFSampler {
        BRDFSampler* getBRDF(int) override { return nullptr; }
        virtual void extra() {}
    };
    struct MoreMtl : RecordingMaterial {
        virtual void extra() {}
    };
    if (slotOf(&MoreBSDF::extra) == -2) {
        GTEST_SKIP() << "vtable layout not readable on this ABI";
    }
    EXPECT_EQ(slotOf(&MoreBSDF::extra), 4);
    EXPECT_EQ(slotOf(&MoreMtl::extra), 9);
    // A class with a second base also gives the overriders of that base's four slots entries
    // in its first table.
    EXPECT_EQ(slotOf(&MoreBRDF::extra), 21 + 4);
}

struct ScriptedContext : KuvoContext {
    float next = 0.0f;
    int asked = -1;
    float sampleValue(int dimension) override { return asked = dimension, next; }
};

TEST(RendererSampler, GetDMCParamForwardsAndStaysInTheUnitInterval) {
    RecordingBSDF brdf;
    ScriptedContext cx;
    cx.next = 0.625f;
    EXPECT_EQ(brdf.getDMCParam(cx, 3), 0.625f);
    EXPECT_EQ(cx.asked, 3);
    // A renderer sequence that strays is pulled back into [0, 1).
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const float inf = std::numeric_limits<float>::infinity();
    for (float stray : {1.0f, 7.5f, inf}) {
        cx.next = stray;
        EXPECT_EQ(brdf.getDMCParam(cx, 1), belowOne) << stray;
    }
    for (float stray : {-0.25f, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        cx.next = stray;
        EXPECT_EQ(brdf.getDMCParam(cx, 1), 0.0f) << stray;
    }
}

}  // namespace
