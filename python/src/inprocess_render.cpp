#include "python/src/inprocess_render.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/material_source.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"
#include "platform/renderer/stream_render_log.h"

namespace glitter::python {

using namespace glitter::renderer;

namespace {
// Host ticks per frame, as glitter_render counts them (4800 a second, 30 frames a second).
constexpr int kTicksPerFrame = 160;
}  // namespace

// Keep in step with glitter_render's main: every option that reaches the render settings
// there must reach them here too.
Image renderInProcess(const std::vector<std::string>& args, int frame) {
    CliOptions options = parseCommandLine(args);
    if (options.showHelp) throw UsageError("--help is no render option");
    if (frame < 0 || frame >= options.frames) {
        throw UsageError("frame " + std::to_string(frame) + " is not one of the " +
                         std::to_string(options.frames) + " frames");
    }
    resolvePluginPath(options);

    MaterialSet materials(options.material);
    const bool defaultScene = options.scene == "default";
    const SceneChoices choices = defaultScene ? defaultSceneChoices() : objSceneChoices();
    if (materials.plugin() != nullptr) {
        for (const ParameterSetting& setting : choices.materialSettings) {
            if (!materials.chosenBySource(setting.name)) materials.plugin()->set(setting);
        }
    }
    Scene scene;
    const SceneFraming framing = defaultScene ? buildDefaultScene(scene, materials)
                                              : buildObjScene(scene, materials, options.scene);

    RenderSettings settings;
    settings.samplesPerPixel =
        options.samplesPerPixel > 0 ? options.samplesPerPixel : choices.samplesPerPixel;
    settings.threadCount = options.threads;
    if (settings.threadCount <= 0) {
        settings.threadCount = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    KuvoUtils::StreamRenderLog log(stderr);
    materials.update(frame * kTicksPerFrame);
    const Camera camera = presetCamera(options.camera, scene, framing, frame, options.frames,
                                       options.width, options.height);
    settings.time = frame * kTicksPerFrame;
    Renderer renderer(scene, camera, settings);
    return renderer.render(&log);
}

}  // namespace glitter::python
