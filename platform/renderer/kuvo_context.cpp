#include "platform/renderer/kuvo_context.h"

#include <cstdint>

namespace KuvoUtils {

namespace {

// splitmix64's finaliser: every input bit reaches every output bit.
std::uint64_t mix64(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 31;
    return h;
}

std::uint64_t hashSample(std::uint32_t seed, std::int32_t index, std::int32_t dimension) {
    const std::uint64_t key = (std::uint64_t{seed} << 32) | static_cast<std::uint32_t>(index);
    return mix64(key ^ mix64(static_cast<std::uint32_t>(dimension) + 0x9E3779B97F4A7C15ull));
}

}  // namespace

Vector KuvoContext::getUVWCoords(int /*channel*/) const { return {}; }

UVWBasis KuvoContext::getUVWBasis(int /*channel*/) const { return {}; }

ContextInterface* KuvoContext::queryInterface(int /*id*/) const { return nullptr; }

KuvoContext* KuvoContext::newChildContext(int /*kind*/, const Color& /*filter*/, int /*flags*/,
                                          const Vector& /*normal*/) {
    return nullptr;
}

float KuvoContext::sampleValue(int dimension) {
    // The top 24 bits convert exactly, so the result is at most 1 - 2^-24, never 1.
    return static_cast<float>(hashSample(sampleSeed, sampleIndex, dimension) >> 40) * 0x1p-24f;
}

void KuvoContext::initChild(KuvoContext& child, int kind, const Color& filter, int flags,
                            const Vector& normal) {
    KuvoContext& ray = child;
    ray = KuvoContext{};
    ray.rayKind = kind;
    ray.spawnFilter = filter;
    ray.rayFlags = flags;
    ray.spawnNormal = normal;
    ray.rayDepth = rayDepth + 1;
    ray.mode = mode;
    ray.origin = hitPoint;
    ray.threadData = threadData;
    ray.options = options;
    ray.parent = this;
    // Samplers ask for dimensions from 0 up; a negative one keeps the child's seed apart from
    // every sample this context hands out. Counting the children gives siblings (one per
    // reflection sample) independent streams even if the renderer leaves their sampleIndex.
    const std::int32_t sibling = childCount < INT32_MAX ? childCount++ : childCount;
    ray.sampleSeed = static_cast<std::uint32_t>(hashSample(sampleSeed, sampleIndex, -1 - sibling));
}

}  // namespace KuvoUtils
