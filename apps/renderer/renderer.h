// Drives a whole render: the material session, render threads working through tiles, and
// per-pixel accumulation in a fixed order, so that the image does not depend on the thread
// count.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "apps/renderer/camera.h"
#include "apps/renderer/image.h"
#include "apps/renderer/path_integrator.h"
#include "apps/renderer/scene.h"
#include "platform/renderer/render_log.h"

namespace glitter::renderer {

/// Pixels [x0, x1) x [y0, y1) of the camera's image.
struct PixelRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

struct RenderSettings {
    int samplesPerPixel = 16;
    int threadCount = 1;
    int maxRayDepth = 6;
    int tileSize = 16;
    std::uint32_t seed = 0;  ///< varies the sample pattern (the same seed repeats an image)
    LightStrategy strategy = LightStrategy::mis;
    IndirectNoiseControls indirect;  ///< off unless a scene or the command line asks
    int time = 0;  ///< host time (ticks) of the frame: materials and their maps are shaded at it
    /// Only these pixels, as an image of the rectangle's size holding the bits they have in
    /// the whole image (a farm renders a frame as tiles); none: the whole image.
    std::optional<PixelRect> region;
};

class Renderer {
  public:
    /// The scene must be committed; it and the camera must outlive the renderer.
    Renderer(const Scene& scene, const Camera& camera, const RenderSettings& settings);

    /// Renders the camera's image. Material warnings go to `log` (may be null), each distinct
    /// message once per render. `progress`,
    /// if set, is called on the calling thread about ten times a second and at the end with
    /// the fraction of pixels done. The first exception of any render thread is rethrown
    /// after every thread stopped and the materials were finished.
    Image render(KuvoUtils::RenderLog* log, const std::function<void(double)>& progress = {});

    /// Samples whose radiance was not finite in the last render; they count as black.
    std::uint64_t droppedSamples() const { return dropped; }
    /// Hits shaded (BSDFs set up) in the last render, at every depth.
    std::uint64_t shadingPoints() const { return shaded; }

  private:
    const Scene& scene;
    const Camera& camera;
    RenderSettings settings;
    std::uint64_t dropped = 0;
    std::uint64_t shaded = 0;
};

}  // namespace glitter::renderer
