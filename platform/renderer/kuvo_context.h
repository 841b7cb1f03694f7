// The renderer's shading context: one ray, the hit it found and the renderer state a material
// reads there. A concrete renderer derives from it and overrides the virtual queries.
#pragma once

#include <cstdint>

#include "platform/renderer/color.h"
#include "platform/renderer/context_interface.h"
#include "platform/renderer/vector.h"

namespace host {
class ShadeContext;
}

namespace KuvoUtils {

/// Per render thread data; a material selects its per-thread pool by `threadIndex`.
struct RenderThreadData {
    std::int32_t threadIndex = 0;
};

/// Renderer-wide options that materials consult while shading.
struct RenderOptions {
    std::int32_t reflections = 1;  ///< reflection switch: 0 turns reflections off
    std::int32_t maxRayDepth = 8;  ///< rays at this depth or deeper get no reflection
    std::int32_t admitRestrictedRays =
        0;  ///< rays flagged kRayFlagRestricted are shaded only when 1
};

/// Rays with this flag are shaded only when `RenderOptions::admitRestrictedRays` is set.
inline constexpr int kRayFlagRestricted = 0x10;

/// Change of world position per unit of u, v and w of a map channel.
struct UVWBasis {
    Vector dPdu;
    Vector dPdv;
    Vector dPdw;
};

class KuvoContext {
  public:
    KuvoContext() = default;
    KuvoContext(const KuvoContext&) = default;
    KuvoContext& operator=(const KuvoContext&) = default;
    virtual ~KuvoContext() = default;

    // The ray. rayDir is the direction shading reads (unit, pointing towards the surface);
    // traceDir is the one the tracer follows. A spawned ray must have both set: setRayDir.
    Vector rayDir;
    Vector traceDir;
    int rayFlags = 0;
    int rayDepth = 0;
    int mode = 0;
    DVector origin;
    double minDistance = 0.0;
    double maxDistance = 1e18;
    Vector dDdx;  ///< change of the ray direction for one pixel step in screen x
    Vector dDdy;  ///< ... and in screen y

    // The hit.
    DVector hitPoint;
    Vector shadingNormal;
    Vector geometricNormal;
    int backside = 0;  ///< nonzero when the ray hit the back of the surface
    Vector dPdx;       ///< change of the hit point for one pixel step in screen x
    Vector dPdy;       ///< ... and in screen y

    // What the spawning BSDF handed over and wrote back (see newChildContext).
    int rayKind = 0;
    Color spawnFilter;
    Vector spawnNormal;
    float density = 0.0f;  ///< sample density, 2*pi per unit solid angle convention
    Color colorWeight;     ///< sample weight (value / density, filtered)
    KuvoContext* parent = nullptr;

    // Deterministic sample stream read by sampleValue's default.
    std::uint32_t sampleSeed = 0;
    std::int32_t sampleIndex = 0;
    std::int32_t childCount = 0;  ///< children initialised from this context so far

    // Renderer state; never null in a context the renderer hands out (defaults are provided
    // so that a bare context is still safe to shade).
    const RenderThreadData* threadData = &kDefaultThreadData;
    const RenderOptions* options = &kDefaultOptions;
    host::ShadeContext* hostContext = nullptr;  ///< for evaluating host maps; may be null

    void setRayDir(const Vector& dir) {
        rayDir = dir;
        traceDir = dir;
    }

    /// UVW coordinates of a map channel at the hit. Default: zero (no such channel).
    virtual Vector getUVWCoords(int channel) const;
    /// UVW basis of a map channel at the hit. Default: three zero vectors.
    virtual UVWBasis getUVWBasis(int channel) const;
    /// The interface registered under `id`, or null. Default: null for every id.
    virtual ContextInterface* queryInterface(int id) const;
    /// A context for a ray spawned at this hit, owned by the renderer, or null. `kind` tells the
    /// renderer what sort of ray it is, `filter` is the spawning BSDF's colour filter and
    /// `normal` the normal it sampled about. Default: null (this renderer spawns no rays).
    virtual KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                         const Vector& normal);
    /// Sample number `dimension` of this context's deterministic sequence. Should lie in
    /// [0, 1); BRDFSampler::getDMCParam clamps it there. Default: a hash of sampleSeed,
    /// sampleIndex and dimension.
    virtual float sampleValue(int dimension);

    /// The interface for `I::kInterfaceId`, typed. (Named apart from queryInterface so that
    /// a renderer's override of that does not hide it.)
    template <class I>
    I* findInterface() const {
        return static_cast<I*>(queryInterface(I::kInterfaceId));
    }

    static constexpr RenderThreadData kDefaultThreadData{};
    static constexpr RenderOptions kDefaultOptions{};

  protected:
    /// Resets `child` and fills what a spawned ray takes from this context: the request
    /// arguments, depth + 1, the mode, thread data and options, an origin at this hit, this
    /// context as parent, and a sample seed of its own (distinct for each child of this
    /// context, in spawning order). The host context is not carried over:
    /// it describes a hit, and the child has none yet. For renderers' newChildContext overrides.
    void initChild(KuvoContext& child, int kind, const Color& filter, int flags,
                   const Vector& normal);
};

}  // namespace KuvoUtils
