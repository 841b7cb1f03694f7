#include "apps/renderer/render_job.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

namespace glitter::renderer {
namespace {

CliOptions withPluginPath(CliOptions options) {
    resolvePluginPath(options);
    return options;
}

std::string formatNumber(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

}  // namespace

RenderJob::RenderJob(CliOptions options)
    : opts(withPluginPath(std::move(options))), materialSet(opts.material) {
    const bool defaultScene = opts.scene == "default";
    const SceneChoices choices = defaultScene ? defaultSceneChoices() : objSceneChoices();
    if (PluginMaterial* plugin = materialSet.plugin(); plugin != nullptr) {
        for (const ParameterSetting& setting : choices.materialSettings) {
            if (!materialSet.chosenBySource(setting.name)) {
                plugin->set(setting);
                chosenParams += " " + setting.name + "=" + setting.value;
            }
        }
    }
    framing = defaultScene ? buildDefaultScene(scene, materialSet)
                           : buildObjScene(scene, materialSet, opts.scene, opts.meshLimits);

    renderSettings.samplesPerPixel =
        opts.samplesPerPixel > 0 ? opts.samplesPerPixel : choices.samplesPerPixel;
    renderSettings.threadCount = opts.threads;
    if (renderSettings.threadCount <= 0) {
        renderSettings.threadCount =
            static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    renderSettings.indirect = choices.indirect;
    if (opts.clampIndirect >= 0.0f) {
        renderSettings.indirect.clamp = opts.clampIndirect;
    } else if (choices.indirect.clamp > 0.0f) {
        chosenOpts += " --clamp-indirect " + formatNumber(choices.indirect.clamp);
    }
    if (opts.lightSpread >= 0.0f) {
        renderSettings.indirect.lightSpreadDegrees = opts.lightSpread;
    } else if (choices.indirect.lightSpreadDegrees > 0.0f) {
        chosenOpts += " --light-spread " + formatNumber(choices.indirect.lightSpreadDegrees);
    }
}

Image RenderJob::renderFrame(int frame, KuvoUtils::RenderLog* log,
                             const std::function<void(double)>& progress,
                             double* shadingPoints) {
    return render(frame, std::nullopt, log, progress, shadingPoints);
}

Image RenderJob::renderTile(int frame, const PixelRect& tile, KuvoUtils::RenderLog* log,
                            const std::function<void(double)>& progress, double* shadingPoints) {
    return render(frame, tile, log, progress, shadingPoints);
}

Image RenderJob::render(int frame, const std::optional<PixelRect>& tile, KuvoUtils::RenderLog* log,
                        const std::function<void(double)>& progress, double* shadingPoints) {
    const Camera camera = presetCamera(opts.camera, scene, framing, frame, opts.frames,
                                       opts.width, opts.height);
    renderSettings.time = frame * kTicksPerFrame;
    materialSet.update(renderSettings.time);
    RenderSettings settings = renderSettings;
    settings.region = tile;
    Renderer renderer(scene, camera, settings);
    Image image = renderer.render(log, progress);
    if (shadingPoints != nullptr) {
        *shadingPoints += static_cast<double>(renderer.shadingPoints());
    }
    return image;
}

}  // namespace glitter::renderer
