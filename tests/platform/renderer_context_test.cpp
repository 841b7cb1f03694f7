// Child contexts as a renderer builds them with initChild for a BSDF's reflection samples.
#include <gtest/gtest.h>

#include <deque>
#include <tuple>

#include "platform/renderer/kuvo_context.h"

namespace {

using namespace KuvoUtils;

// Keeps its children; each child object arrives dirty, as a recycled one would.
struct TestRenderContext : KuvoContext {
    std::deque<TestRenderContext> children;

    KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                 const Vector& normal) override {
        TestRenderContext& child = children.emplace_back();
        child.density = 12.0f;
        child.colorWeight = Color(3.0f);
        child.setRayDir(Vector(0, 1, 0));
        child.maxDistance = 6.0;
        child.backside = 1;
        initChild(child, kind, filter, flags, normal);
        return &child;
    }
};

TEST(RendererContext, ChildTakesTheRequestAndRenderStateButNothingOfAnEarlierSample) {
    const RenderThreadData thread{3};
    const RenderOptions options{1, 6, 1};
    TestRenderContext parent;
    parent.threadData = &thread;
    parent.options = &options;
    parent.rayDepth = 2;
    parent.hitPoint = {1.0000000001, -2.5, 1e9 + 0.25};

    KuvoContext* child = parent.newChildContext(2, Color(0.5f, 0.25f, 1), 0x9002, Vector(0, 0, 1));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(std::tuple(child->rayKind, child->spawnFilter, child->rayFlags, child->spawnNormal),
              std::tuple(2, Color(0.5f, 0.25f, 1), 0x9002, Vector(0, 0, 1)));
    EXPECT_EQ(child->rayDepth, 3);
    EXPECT_EQ(child->origin, parent.hitPoint);  // in double precision
    EXPECT_EQ(std::tuple(child->threadData, child->options, child->parent),
              std::tuple(&thread, &options, &parent));
    EXPECT_EQ(std::tuple(child->density, child->colorWeight, child->traceDir, child->backside),
              std::tuple(0.0f, Color(), Vector(), 0));
    EXPECT_EQ(child->maxDistance, 1e18);
}

}  // namespace
