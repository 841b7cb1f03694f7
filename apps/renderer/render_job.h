// One glitter_render invocation as a reusable object: the materials, the scene, the render
// settings and the frames' cameras that a command line describes. The program, the Python
// module and anything else that renders "as glitter_render would" go through it, so that the
// same options give the same bits everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image.h"
#include "apps/renderer/material_source.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene.h"
#include "apps/renderer/scene_presets.h"
#include "platform/renderer/render_log.h"

namespace glitter::renderer {

/// Host time of frame f: the host counts 4800 ticks a second, 160 a frame at 30 frames a
/// second, so a material file's keys at frame f take effect there.
inline constexpr int kTicksPerFrame = 160;

class RenderJob {
  public:
    /// Loads the plug-in and material, applies the scene's choices where the options leave a
    /// value open, and builds the scene. Throws what the loaders throw (UsageError,
    /// PluginError, SettingError, std::runtime_error for unreadable scenes).
    explicit RenderJob(CliOptions options);
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    const CliOptions& options() const { return opts; }
    const RenderSettings& settings() const { return renderSettings; }
    const MaterialSet& materials() const { return materialSet; }
    /// The material parameters the scene chose (" name=value" each), empty when none.
    const std::string& chosenParameters() const { return chosenParams; }
    /// The render options the scene chose (" --option value" each), empty when none.
    const std::string& chosenOptions() const { return chosenOpts; }

    /// Another sample pattern for the following frames (RenderSettings::seed): progressive
    /// renders add up passes of different seeds.
    void setSeed(std::uint32_t seed) { renderSettings.seed = seed; }

    /// Renders frame `frame` (0 to frames - 1) at its host time. `progress` as for
    /// Renderer::render. Shading points of the frame are added to `shadingPoints` if given.
    Image renderFrame(int frame, KuvoUtils::RenderLog* log,
                      const std::function<void(double)>& progress = {},
                      double* shadingPoints = nullptr);
    /// The pixels `tile` of frame `frame`, bit for bit as renderFrame gives them there.
    /// Throws std::invalid_argument for a tile that is empty or reaches outside the frame.
    Image renderTile(int frame, const PixelRect& tile, KuvoUtils::RenderLog* log,
                     const std::function<void(double)>& progress = {},
                     double* shadingPoints = nullptr);

  private:
    Image render(int frame, const std::optional<PixelRect>& tile, KuvoUtils::RenderLog* log,
                 const std::function<void(double)>& progress, double* shadingPoints);

    CliOptions opts;
    MaterialSet materialSet;
    Scene scene;
    SceneFraming framing;
    RenderSettings renderSettings;
    std::string chosenParams;
    std::string chosenOpts;
};

}  // namespace glitter::renderer
