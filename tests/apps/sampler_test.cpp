// The Sobol sampler's stratification and decorrelation, and the sample dimensions that render
// contexts hand their children.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "apps/renderer/render_context.h"
#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {
namespace {

TEST(SobolSampler, EveryPairOfDimensionsIsStratifiedOverPowersOfTwo) {
    // 256 points of a scrambled (0, 2)-sequence put exactly one point into each elementary
    // interval of area 1/256: check the 16 x 16 squares and the 256 x 1 and 1 x 256 strips.
    for (std::uint32_t seed : {1u, 77u, SobolSampler::pixelSeed(13, 7, 0)}) {
        for (std::uint32_t pair : {0u, 1u, 5u, 40u}) {
            std::set<std::uint32_t> squares, columns, rows;
            for (std::uint32_t i = 0; i < 256; ++i) {
                const std::uint32_t x = SobolSampler::sampleBits(seed, i, 2 * pair);
                const std::uint32_t y = SobolSampler::sampleBits(seed, i, 2 * pair + 1);
                squares.insert((x >> 28) * 16 + (y >> 28));
                columns.insert(x >> 24);
                rows.insert(y >> 24);
            }
            // Each set holds at most 256 cells.
            EXPECT_EQ(squares.size() + columns.size() + rows.size(), 3 * 256u)
                << "seed " << seed << " pair " << pair;
        }
    }
}

TEST(SobolSampler, PixelsAndDimensionPairsAreDecorrelated) {
    // Repeated sequences would print the same noise pattern into every pixel or dimension.
    std::set<std::uint32_t> seeds;
    for (std::uint32_t i = 0; i < 32 * 32; ++i)
        seeds.insert(SobolSampler::pixelSeed(i % 32, i / 32, 0));
    EXPECT_EQ(seeds.size(), 1024u);
    EXPECT_NE(SobolSampler::pixelSeed(3, 4, 0), SobolSampler::pixelSeed(3, 4, 1));
    for (std::uint32_t i = 0; i < 64; ++i) {
        EXPECT_NE(SobolSampler::sampleBits(5, i, 0), SobolSampler::sampleBits(5, i, 2));
        EXPECT_NE(SobolSampler::sampleBits(i, 0, 0), SobolSampler::sampleBits(i + 1, 0, 0));
    }
}

TEST(RenderContextSampler, ChildrenReadTheirOwnIndexAndDimensions) {
    RenderContext root;
    root.resetForPrimary(&KuvoUtils::KuvoContext::kDefaultThreadData,
                         &KuvoUtils::KuvoContext::kDefaultOptions);
    root.pixelSeed = 1234;
    root.sampleIndex = 3;
    root.dimensionOffset = 2;
    EXPECT_EQ(root.sampleValue(1), SobolSampler::sample(1234, 3, 3));
    root.childSampleIndex = 17;
    root.childDimensionOffset = 14;
    auto* child = root.ownChild(root.newChildContext(2, KuvoUtils::Color(1.0f), 0x9002, {}));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent, &root);
    EXPECT_EQ(child->rayDepth, 1);
    EXPECT_EQ(child->rayFlags, 0x9002);
    EXPECT_EQ(child->sampleValue(3), SobolSampler::sample(1234, 17, 17));
    // The same child object serves the next sample, with the new index.
    root.childSampleIndex = 18;
    EXPECT_EQ(root.ownChild(root.newChildContext(2, KuvoUtils::Color(1.0f), 0x9002, {})), child);
    EXPECT_EQ(child->sampleValue(0), SobolSampler::sample(1234, 18, 14));
    // A context the renderer did not hand out is not taken for its child.
    KuvoUtils::KuvoContext stranger;
    EXPECT_EQ(root.ownChild(&stranger), nullptr);
}

}  // namespace
}  // namespace glitter::renderer
