// The renderer calls BRDFs, BSDFs and materials by virtual slot number, so each operation must sit
// in its slot and reach the override of a derived class.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/kuvo_context.h"
#include "platform/renderer/kuvo_interface.h"
#include "platform/renderer/kuvo_render_mtl.h"
#include "platform/renderer/render_channels_info.h"

namespace {

using namespace KuvoUtils;

// Slot index of a pointer to a virtual member function, read from its Itanium C++ ABI
// representation (1 + byte offset into the vtable). -1 when the function is not virtual.
template <class MemberFunction>
int slotOf(MemberFunction function) {
#if defined(__x86_64__) && !defined(_MSC_VER)
    static_assert(sizeof(MemberFunction) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t repr[2];
    std::memcpy(repr, &function, sizeof repr);
    if ((repr[0] & 1) == 0) {
        return -1;
    }
    return static_cast<int>((repr[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)));
#else
    (void)function;
    return -2;
#endif
}

bool slotsReadable() { return slotOf(&BSDFSampler::getBRDF) != -2; }

// Every slot overridden; each override records its slot number.
class RecordingBSDF : public BRDFSampler, public BSDFSampler {
public:
    int ran = -1;

    Color getDiffuseColor(const KuvoContext&) override { return record(0), Color(); }
    Vector getDiffuseNormal(const KuvoContext&) override { return record(1), Vector(); }
    Color filterColor(const Color&) override { return record(2), Color(); }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override {
        return record(3), Color();
    }
    void multiplyLight(float) override { record(4); }
    void lightFinished(int) override { record(5); }
    int isOpaque() override { return record(6), 1; }
    void traceForward(KuvoContext&, int) override { record(7); }
    int getNumSamples(const KuvoContext&) override { return record(8), 0; }
    Color getTransparency(const KuvoContext&) override { return record(9), Color(); }
    Color getColor(const KuvoContext&, const Color&) override { return record(10), Color(); }
    Color getAlpha(const KuvoContext&, const Color&) override { return record(11), Color(); }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override {
        return record(12), nullptr;
    }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override {
        return record(13), 1.0f;
    }
    const RenderChannelsInfo* getRenderChannels() override {
        return record(14), &RenderChannelsInfo::reflectChannels;
    }
    int getNumSubBRDFs() override { return record(15), 0; }
    BRDFSampler* getSubBRDF(int, Color&) override { return record(16), nullptr; }
    Color getSelfIllumination(const KuvoContext&) override { return record(17), Color(); }
    void evalPdfs(const Vector&, float&, float&, int) override { record(18); }
    BRDFSampler* chooseRandomSubBRDF(float&, float&, Color&, int) override {
        return record(19), nullptr;
    }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override { record(20); }

    BRDFSampler* getBRDF(int) override { return record(100), nullptr; }
    void traceBSDFForward(KuvoContext&, int) override { record(101); }
    Color getBSDFTransparency(const KuvoContext&) override { return record(102), Color(); }
    KuvoVolume* getVolume(const KuvoContext&) override { return record(103), nullptr; }

private:
    void record(int slot) { ran = slot; }
};

struct SlotCase {
    std::string name;
    int slot;
    int slotInTable;
    std::function<void()> call;
};

void checkSlots(const std::vector<SlotCase>& cases, const int& ran, int slotBase) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SlotCase& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.slot, static_cast<int>(i)) << "table out of order";
        if (slotsReadable()) {
            EXPECT_EQ(c.slotInTable, c.slot);
        }
        c.call();
        EXPECT_EQ(ran, slotBase + c.slot) << "call through the base reached another override";
    }
}

TEST(RendererSlots, BRDFSamplerSlotsInOrder) {
    RecordingBSDF bsdf;
    BRDFSampler* brdf = &bsdf;
    KuvoContext context;
    KuvoContext child;
    Vector v;
    Color c;
    Frame frame;
    float f = 0.0f;
    float g = 0.0f;
    const std::vector<SlotCase> cases = {
        {"getDiffuseColor", 0, slotOf(&BRDFSampler::getDiffuseColor),
         [&] { brdf->getDiffuseColor(context); }},
        {"getDiffuseNormal", 1, slotOf(&BRDFSampler::getDiffuseNormal),
         [&] { brdf->getDiffuseNormal(context); }},
        {"filterColor", 2, slotOf(&BRDFSampler::filterColor), [&] { brdf->filterColor(c); }},
        {"evalLight", 3, slotOf(&BRDFSampler::evalLight),
         [&] { brdf->evalLight(context, v, c, 0, 1.0f, 2); }},
        {"multiplyLight", 4, slotOf(&BRDFSampler::multiplyLight),
         [&] { brdf->multiplyLight(1.0f); }},
        {"lightFinished", 5, slotOf(&BRDFSampler::lightFinished), [&] { brdf->lightFinished(1); }},
        {"isOpaque", 6, slotOf(&BRDFSampler::isOpaque), [&] { brdf->isOpaque(); }},
        {"traceForward", 7, slotOf(&BRDFSampler::traceForward),
         [&] { brdf->traceForward(context, 0); }},
        {"getNumSamples", 8, slotOf(&BRDFSampler::getNumSamples),
         [&] { brdf->getNumSamples(context); }},
        {"getTransparency", 9, slotOf(&BRDFSampler::getTransparency),
         [&] { brdf->getTransparency(context); }},
        {"getColor", 10, slotOf(&BRDFSampler::getColor), [&] { brdf->getColor(context, c); }},
        {"getAlpha", 11, slotOf(&BRDFSampler::getAlpha), [&] { brdf->getAlpha(context, c); }},
        {"spawnSampleContext", 12, slotOf(&BRDFSampler::spawnSampleContext),
         [&] { brdf->spawnSampleContext(context, 0, 0); }},
        {"sampleDirection", 13, slotOf(&BRDFSampler::sampleDirection),
         [&] { brdf->sampleDirection(context, child, 0.5f); }},
        {"getRenderChannels", 14, slotOf(&BRDFSampler::getRenderChannels),
         [&] { brdf->getRenderChannels(); }},
        {"getNumSubBRDFs", 15, slotOf(&BRDFSampler::getNumSubBRDFs),
         [&] { brdf->getNumSubBRDFs(); }},
        {"getSubBRDF", 16, slotOf(&BRDFSampler::getSubBRDF), [&] { brdf->getSubBRDF(0, c); }},
        {"getSelfIllumination", 17, slotOf(&BRDFSampler::getSelfIllumination),
         [&] { brdf->getSelfIllumination(context); }},
        {"evalPdfs", 18, slotOf(&BRDFSampler::evalPdfs), [&] { brdf->evalPdfs(v, f, g, 0); }},
        {"chooseRandomSubBRDF", 19, slotOf(&BRDFSampler::chooseRandomSubBRDF),
         [&] { brdf->chooseRandomSubBRDF(f, g, c, 0); }},
        {"makeFrame", 20, slotOf(&BRDFSampler::makeFrame),
         [&] { brdf->makeFrame(context, v, frame); }},
    };
    checkSlots(cases, bsdf.ran, 0);
}

TEST(RendererSlots, BSDFSamplerSlotsInOrder) {
    RecordingBSDF bsdf;
    BSDFSampler* base = &bsdf;
    KuvoContext context;
    const std::vector<SlotCase> cases = {
        {"getBRDF", 0, slotOf(&BSDFSampler::getBRDF), [&] { base->getBRDF(0); }},
        {"traceBSDFForward", 1, slotOf(&BSDFSampler::traceBSDFForward),
         [&] { base->traceBSDFForward(context, 0); }},
        {"getBSDFTransparency", 2, slotOf(&BSDFSampler::getBSDFTransparency),
         [&] { base->getBSDFTransparency(context); }},
        {"getVolume", 3, slotOf(&BSDFSampler::getVolume), [&] { base->getVolume(context); }},
    };
    checkSlots(cases, bsdf.ran, 100);
    struct OneMoreBSDF : BSDFSampler {
        BRDFSampler* getBRDF(int) override { return nullptr; }
        virtual void extra() {}
    };
    if (slotsReadable()) {
        EXPECT_EQ(slotOf(&OneMoreBSDF::extra), 4) << "BSDFSampler must have exactly 4 slots";
    }
}

// Only the pure slots overridden: the inherited ones keep the renderer's defaults, and those
// that build on other slots see the derived class's overrides.
class MinimalBRDF : public BRDFSampler {
public:
    Color transparency;

    Color getDiffuseColor(const KuvoContext&) override { return {}; }
    Color filterColor(const Color& k) override { return k; }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override {
        return {};
    }
    int isOpaque() override { return 1; }
    int getNumSamples(const KuvoContext&) override { return 0; }
    Color getTransparency(const KuvoContext&) override { return transparency; }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override { return nullptr; }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override { return 1.0f; }
    const RenderChannelsInfo* getRenderChannels() override {
        return &RenderChannelsInfo::reflectChannels;
    }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override {}
};

TEST(RendererSlots, InheritedDefaultsDescribeASingleOpaqueBRDF) {
    MinimalBRDF brdf;
    KuvoContext context;
    context.shadingNormal = {0.0f, 0.6f, 0.8f};
    EXPECT_EQ(brdf.getDiffuseNormal(context), context.shadingNormal);
    EXPECT_EQ(brdf.getAlpha(context, Color(0.3f)), Color(1.0f));
    brdf.transparency = {0.25f, 0.5f, 1.0f};
    EXPECT_EQ(brdf.getAlpha(context, Color(0.3f)), Color(0.75f, 0.5f, 0.0f));

    float u = 0.375f;
    float probability = 0.0f;
    Color weight;
    EXPECT_EQ(brdf.chooseRandomSubBRDF(u, probability, weight, 0), &brdf);
    EXPECT_EQ(u, 0.375f);
    EXPECT_EQ(probability, 1.0f);
    EXPECT_EQ(weight, Color(1.0f));

    weight = Color(7.0f);
    EXPECT_EQ(brdf.getSubBRDF(0, weight), nullptr);
    EXPECT_EQ(weight, Color());
    float pdf = -1.0f;
    float reversePdf = -1.0f;
    brdf.evalPdfs(Vector(0, 0, 1), pdf, reversePdf, 0);
    EXPECT_EQ(pdf, 0.0f);
    EXPECT_EQ(reversePdf, 0.0f);
}

// A class that adds one virtual after a base's must get the slot right after the base's last one,
// which catches a stray extra virtual (a virtual destructor takes two). It derives from one base
// only: overriders of a second base's slots would take entries of their own.
struct OneMoreBRDF : MinimalBRDF {
    virtual void extra() {}
};

TEST(RendererSlots, BRDFSamplerHasExactly21Slots) {
    if (!slotsReadable()) {
        GTEST_SKIP() << "vtable layout not readable on this ABI";
    }
    EXPECT_EQ(slotOf(&OneMoreBRDF::extra), 21);
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
    int reservedQuery(int, void*) override { return ran = 7, 0; }
};

class RecordingShading : public KuvoInterface {
public:
    KuvoRenderMtl* material = nullptr;
    int gbufferId = -1;

    void shadeMaterial(KuvoRenderMtl& m, int id) override {
        material = &m;
        gbufferId = id;
    }
};

TEST(RendererSlots, KuvoRenderMtlSlotsInOrder) {
    RecordingMaterial material;
    KuvoRenderMtl* base = &material;
    RendererInfo info;
    RendererInstance renderer{&info};
    KuvoContext context;
    RecordingShading shading;
    // shade is the renderer's own: it runs in slot 8 and hands the hit back to the renderer.
    int shadeRan = -1;
    const std::vector<SlotCase> cases = {
        {"prepareRender", 0, slotOf(&KuvoRenderMtl::prepareRender),
         [&] { base->prepareRender(0, &renderer); }},
        {"finishRender", 1, slotOf(&KuvoRenderMtl::finishRender), [&] { base->finishRender(); }},
        {"attachLog", 2, slotOf(&KuvoRenderMtl::attachLog),
         [&] { base->attachLog(0, &renderer); }},
        {"detachLog", 3, slotOf(&KuvoRenderMtl::detachLog), [&] { base->detachLog(); }},
        {"acquireBSDF", 4, slotOf(&KuvoRenderMtl::acquireBSDF),
         [&] { base->acquireBSDF(context, 0); }},
        {"releaseBSDF", 5, slotOf(&KuvoRenderMtl::releaseBSDF),
         [&] { base->releaseBSDF(context, nullptr); }},
        {"recordInteger", 6, slotOf(&KuvoRenderMtl::recordInteger),
         [&] { base->recordInteger(5); }},
        {"reservedQuery", 7, slotOf(&KuvoRenderMtl::reservedQuery),
         [&] { base->reservedQuery(0, nullptr); }},
        {"shade", 8, slotOf(&KuvoRenderMtl::shade),
         [&] {
             base->shade(shading, 42);
             shadeRan = shading.material == base && shading.gbufferId == 42 ? 8 : -1;
             material.ran = shadeRan;
         }},
    };
    checkSlots(cases, material.ran, 0);
    EXPECT_EQ(shadeRan, 8);
    struct OneMoreMaterial : RecordingMaterial {
        virtual void extra() {}
    };
    if (slotsReadable()) {
        EXPECT_EQ(slotOf(&OneMoreMaterial::extra), 9) << "KuvoRenderMtl must have exactly 9 slots";
    }
    EXPECT_EQ(sizeof(KuvoRenderMtl), sizeof(void*)) << "the interface carries no data";
}

}  // namespace
