// The renderer stand-in: virtual slot numbers, getDMCParam's samples, children built by initChild,
// and logs taking text of any length from many threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/capturing_render_log.h"
#include "platform/renderer/kuvo_render_mtl.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace KuvoUtils;

// A virtual's slot from its Itanium ABI form (1 + vtable offset); -1 non-virtual, -2 other ABIs.
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

// True when the functions sit in slots 0, 1, 2... in the order given.
template <class... MemberFunctions>
bool inFirstSlots(MemberFunctions... functions) {
    std::vector<int> slots(sizeof...(functions));
    std::iota(slots.begin(), slots.end(), 0);
    return std::vector<int>{slotOf(functions)...} == slots;
}

// The smallest concrete BRDF, with one virtual of its own: it must land right after the base's
// last slot (a stray virtual in the base, say a destructor, would move it).
struct MinimalBRDF : BRDFSampler {
    Color getDiffuseColor(const KuvoContext&) override { return {}; }
    Color filterColor(const Color&) override { return {}; }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override { return {}; }
    int isOpaque() override { return 0; }
    int getNumSamples(const KuvoContext&) override { return 0; }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override { return nullptr; }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override { return 0.0f; }
    const RenderChannelsInfo* getRenderChannels() override { return nullptr; }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override {}
    virtual void extra() {}
};
struct MoreBSDF : BSDFSampler { virtual void extra() {} };
struct MoreMtl : KuvoRenderMtl { virtual void extra() {} };

TEST(RendererSlots, EveryOperationInItsSlotAndNothingAfter) {
    if (slotOf(&MoreBSDF::extra) == -2) GTEST_SKIP() << "vtable layout not readable on this ABI";
    using B = BRDFSampler;
    EXPECT_TRUE(inFirstSlots(&B::getDiffuseColor, &B::getDiffuseNormal, &B::filterColor, &B::evalLight,
                             &B::multiplyLight, &B::lightFinished, &B::isOpaque, &B::traceForward,
                             &B::getNumSamples, &B::getTransparency, &B::getColor, &B::getAlpha,
                             &B::spawnSampleContext, &B::sampleDirection, &B::getRenderChannels,
                             &B::getNumSubBRDFs, &B::getSubBRDF, &B::getSelfIllumination, &B::evalPdfs,
                             &B::chooseRandomSubBRDF, &B::makeFrame, &MinimalBRDF::extra));
    using S = BSDFSampler;
    EXPECT_TRUE(inFirstSlots(&S::getBRDF, &S::traceBSDFForward, &S::getBSDFTransparency, &S::getVolume,
                             &MoreBSDF::extra));
    using M = KuvoRenderMtl;
    EXPECT_TRUE(inFirstSlots(&M::prepareRender, &M::finishRender, &M::attachLog, &M::detachLog,
                             &M::acquireBSDF, &M::releaseBSDF, &M::recordInteger, &M::reservedQuery,
                             &M::shade, &MoreMtl::extra));
    EXPECT_EQ(sizeof(KuvoRenderMtl), sizeof(void*)) << "the interface carries no data";
}

// Answers samples from a script, keeps its children; each arrives dirty, as a recycled one would.
struct ScriptedContext : KuvoContext {
    float next = 0.0f;
    int asked = -1;
    std::deque<ScriptedContext> children;
    float sampleValue(int dimension) override { return asked = dimension, next; }
    KuvoContext* newChildContext(int kind, const Color& filter, int flags, const Vector& normal) override {
        ScriptedContext& child = children.emplace_back();
        child.density = 12.0f;
        child.colorWeight = Color(3.0f);
        child.setRayDir(Vector(0, 1, 0));
        child.maxDistance = 6.0;
        child.backside = 1;
        initChild(child, kind, filter, flags, normal);
        return &child;
    }
};

// Forwarded as it comes, but a renderer sequence that strays is pulled back into [0, 1).
TEST(RendererSampler, GetDMCParamForwardsAndStaysInTheUnitInterval) {
    MinimalBRDF brdf;
    ScriptedContext cx;
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const float inf = std::numeric_limits<float>::infinity();
    for (auto [value, expected] : {std::pair{0.625f, 0.625f}, {1.0f, belowOne}, {7.5f, belowOne}, {inf, belowOne},
                                   {-0.25f, 0.0f}, {-inf, 0.0f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f}}) {
        cx.next = value;
        EXPECT_EQ(brdf.getDMCParam(cx, 3), expected) << value;
        EXPECT_EQ(cx.asked, 3);
    }
}

TEST(RendererContext, ChildTakesTheRequestAndRenderStateButNothingOfAnEarlierSample) {
    const RenderThreadData thread{3};
    const RenderOptions options{1, 6, 1};
    ScriptedContext parent;
    parent.threadData = &thread;
    parent.options = &options;
    parent.rayDepth = 2;
    parent.hitPoint = {1.0000000001, -2.5, 1e9 + 0.25};

    KuvoContext* child = parent.newChildContext(2, Color(0.5f, 0.25f, 1), 0x9002, Vector(0, 0, 1));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(std::tuple(child->rayKind, child->spawnFilter, child->rayFlags, child->spawnNormal),
              std::tuple(2, Color(0.5f, 0.25f, 1), 0x9002, Vector(0, 0, 1)));
    EXPECT_EQ(std::tuple(child->threadData, child->options, child->parent, child->rayDepth, child->origin),
              std::tuple(&thread, &options, &parent, 3, parent.hitPoint));  // the origin in double precision
    EXPECT_EQ(std::tuple(child->density, child->colorWeight, child->traceDir, child->backside, child->maxDistance),
              std::tuple(0.0f, Color(), Vector(), 0, 1e18));
}

std::vector<std::string> readLines(std::FILE* file) {
    std::vector<std::string> lines(1);
    std::rewind(file);
    for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) {
        if (ch == '\n') lines.emplace_back();
        else lines.back() += static_cast<char>(ch);
    }
    std::fclose(file);
    return lines;
}

TEST(RenderLog, FormatsArgumentsOfAnyLengthAndPrefixesLevels) {
    CapturingRenderLog log;
    RenderLog& base = log;
    base.printWarning("%s :: scale", "Glitter 100%");
    base.printInfo("%d threads, %.2f s", 4, 1.5);
    base.printError("%s", "no memory");
    base.printWarning(nullptr);  // prints nothing
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"warning: Glitter 100% :: scale",
                                                     "4 threads, 1.50 s", "error: no memory"}));
    EXPECT_EQ(log.count(RenderLog::Level::warning), 1u);
    // Message lengths around the formatting buffer (512) and far beyond it.
    for (std::size_t length : {4u, 511u, 512u, 513u, 100000u}) {
        std::string name(length - 4, 'x');
        for (std::size_t i = 0; i < name.size(); i += 97) name[i] = static_cast<char>('a' + i % 26);
        CapturingRenderLog sized;
        sized.printWarning("<%s|%d>", name.c_str(), 7);
        ASSERT_EQ(sized.entries().size(), 1u);
        EXPECT_EQ(sized.entries()[0].message, "<" + name + "|7>") << "length " << length;
    }

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StreamRenderLog stream(file);
    stream.printWarning("%s", "late");
    stream.printInfo("ready\n");  // a message's own newline is not doubled
    stream.printError("%s", "");
    EXPECT_EQ(readLines(file), (std::vector<std::string>{"warning: late", "ready", "error: ", ""}));
}

constexpr int kThreads = 8;
constexpr int kMessagesPerThread = 250;

std::string threadMessage(int thread, int i) {
    return "thread " + std::to_string(thread) + " message " + std::to_string(i) + " " +
           std::string(600 + 10 * static_cast<std::size_t>(thread), static_cast<char>('a' + thread));
}

// Every line whole, and each thread's lines in the order it printed them.
void expectWholeOrderedLines(RenderLog& log, auto lines) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kMessagesPerThread; ++i)
                log.printWarning("%s", threadMessage(t, i).c_str());
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines()) {
        int t = -1;
        if (line.empty()) continue;
        ASSERT_EQ(std::sscanf(line.c_str(), "warning: thread %d", &t), 1) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(line, "warning: " + threadMessage(t, next[t]++));
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kMessagesPerThread));
}

TEST(RenderLogThreads, ConcurrentWarningsArriveWholeAndInOrder) {
    CapturingRenderLog captured;
    expectWholeOrderedLines(captured, [&] { return captured.lines(); });
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StreamRenderLog stream(file);
    expectWholeOrderedLines(stream, [&] { return readLines(file); });
}

}  // namespace
