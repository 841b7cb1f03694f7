#pragma once
// Setting a pooled BSDF up at one shading point: the pixel footprint in flake space, the
// decision for or against discrete flakes (with the one-shot flake-scale warning), the
// reflection filter with its optional map, the local frame and the flake search.
// Allocation-free; the one shared write is the material's atomic warning flag.

#include <cstdint>

#include "bsdf/cached_parameter_values.h"
#include "bsdf/discrete_microfacet_bsdf.h"
#include "bsdf/flake_material_view.h"
#include "flakes/flake_footprint.h"
#include "platform/renderer/kuvo_context.h"

namespace glitter {

struct TriplanarCoords {
    FlakeUV uv;  // the point's 2-D coordinates
    FlakeUV du;  // their change for one pixel step in screen x
    FlakeUV dv;  // ... and in screen y
};

// Object-space projection on the plane across the normal's largest component (ties go to Z).
TriplanarCoords triplanarCoords(const KuvoUtils::KuvoContext& context);

// The parallelogram spanned by the screen-step derivatives, centred on the point, in flake
// space (UVW channel or triplanar coordinates times `scale`).
FlakeFootprint computeFootprint(const KuvoUtils::KuvoContext& context, int32_t mappingType,
                                int32_t channel, float scale);

// True when every corner, bound and the area are finite numbers.
bool isFiniteFootprint(const FlakeFootprint& footprint);

// True when the footprint is wide enough, against the float steps of its coordinates, for the
// weights of the flakes found in it to measure its area.
bool hasResolvableArea(const FlakeFootprint& footprint);

// Inverse of the matrix with rows tangent, bitangent, normal; determinant and its reciprocal
// in double precision. For an orthonormal frame this is the transpose.
void invertFrame(const KuvoUtils::Frame& frame, float inverse[3][3]);

// Prints the flake-scale warning through the material's log once per attach, when the
// footprint's bounds span a whole cell.
void warnIfFlakeScaleTooBig(const FlakeMaterialView& material, const FlakeFootprint& footprint);

// The reflection filter mixed with the reflection map at this point.
KuvoUtils::Color reflectionFilterAt(const CachedParameterValues& values,
                                    const KuvoUtils::KuvoContext& context);

template <class T>
void runFlakeQuery(DiscreteMicrofacetBSDF<T>& bsdf, KuvoUtils::KuvoContext& context,
                   const KuvoUtils::Color& filter, int32_t subdivs, int32_t sideMode,
                   const FlakeParams* params, int32_t discrete, float expectedFlakes,
                   const FlakeFootprint& footprint) {
    bsdf.reflectionFilter = filter;
    bsdf.sideMode = sideMode;
    bsdf.backside = context.backside;
    // Rays of these kinds see only the smooth lobe.
    if ((context.rayFlags & kRayFlagSmoothOnly) != 0) discrete = 0;
    beginFlakeQuery(bsdf.query, discrete, expectedFlakes, footprint, params);

    bsdf.shadingNormal = context.shadingNormal;
    bsdf.geometricNormal = context.geometricNormal;
    if (bsdf.backside != 0) {
        bsdf.shadingNormal = -bsdf.shadingNormal;
        bsdf.geometricNormal = -bsdf.geometricNormal;
    }

    const KuvoUtils::RenderOptions& options = *context.options;
    // A normal without a direction leaves no frame to shade in.
    bsdf.inactive = (((context.rayFlags & KuvoUtils::kRayFlagRestricted) != 0 &&
                      options.admitRestrictedRays == 0) ||
                     context.rayDepth >= options.maxRayDepth || options.reflections == 0 ||
                     (context.rayFlags & kRayFlagNoReflection) != 0 ||
                     !isUsableNormal(bsdf.shadingNormal) || !isUsableNormal(bsdf.geometricNormal))
                        ? 1
                        : 0;
    if (bsdf.inactive != 0) {
        bsdf.reflectionFilter = KuvoUtils::Color(0.0f, 0.0f, 0.0f);
        bsdf.query.enabled = 0;
        return;
    }

    bsdf.numSamples = subdivs * subdivs;
    // A ray arriving from behind the shading normal gets its frame on the geometric normal.
    const KuvoUtils::Vector normal = dot(bsdf.shadingNormal, context.rayDir) > 0.0f
                                         ? bsdf.geometricNormal
                                         : bsdf.shadingNormal;
    static_cast<KuvoUtils::BRDFSampler&>(bsdf).makeFrame(context, normal, bsdf.frame);
    invertFrame(bsdf.frame, bsdf.frameInverse);
    const KuvoUtils::Vector view = toLocal(bsdf.frameInverse, context.rayDir);
    bsdf.query.viewDir = {view.x, view.y, view.z};

    if (!searchFlakes(bsdf.query)) {
        bsdf.inactive = 1;
        bsdf.query.enabled = 0;
    }
}

template <class T>
void setupBSDF(const FlakeMaterialView& material, KuvoUtils::KuvoContext& context,
               DiscreteMicrofacetBSDF<T>& bsdf, int32_t requestFlags) {
    const CachedParameterValues& values = *material.values;
    int32_t discrete = values.enable_flakes;
    float expected = 0.0f;
    FlakeFootprint footprint{};
    if (discrete != 0) {
        footprint = computeFootprint(context, values.mapping_type, values.map_channel,
                                     values.flake_scale);
        expected = float(values.num_flakes) * footprint.area;
        if (expected > values.blend_max) discrete = 0;
        // A degenerate UVW basis or non-finite derivatives leave no usable footprint, and
        // parallel or vanishing ones leave one with no area to share among flakes: the smooth
        // lobe shades such points.
        if (discrete != 0 && (!isFiniteFootprint(footprint) || !hasResolvableArea(footprint))) {
            discrete = 0;
        }
        if (discrete != 0) warnIfFlakeScaleTooBig(material, footprint);
    }
    const KuvoUtils::Color filter = reflectionFilterAt(values, context);
    runFlakeQuery(bsdf, context, filter, values.subdivs, (~requestFlags) & kRequestBothSides,
                  material.flakeParams, discrete, expected, footprint);
}

}  // namespace glitter
