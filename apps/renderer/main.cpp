// glitter_render: renders the glitter material plug-in (or the renderer's built-in stand-in) on
// a built-in or OBJ scene to an EXR or PNG image.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image_writer.h"
#include "apps/renderer/progress_bar.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"
#include "platform/host/wstr.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace glitter::renderer;

// Host time of frame f: the host counts 4800 ticks a second, 160 a frame at 30 frames a
// second, so a material file's keys at frame f take effect there.
constexpr int kTicksPerFrame = 160;

std::string describeMaterial(const MaterialSet& materials, const CliOptions& options) {
    const PluginMaterial* plugin = materials.plugin();
    if (plugin == nullptr) {
        return "the renderer's built-in Beckmann stand-in";
    }
    const int subdivs = plugin->intValue("subdivs");
    std::string text =
        options.material.materialFile.empty()
            ? std::string("a new material")
            : "material \"" + plugin->name() + "\" from " + options.material.materialFile;
    text += " of " + options.material.pluginPath + "; subdivs " + std::to_string(subdivs) + " (" +
            std::to_string(subdivs * subdivs) + " reflection samples per hit), flakes ";
    text += plugin->intValue("enable_flakes") != 0 ? "on" : "off";
    return text;
}

std::string formatNumber(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

int run(CliOptions options) {
    resolvePluginPath(options);
    std::vector<std::string> outputs;
    for (int frame = 0; frame < options.frames; ++frame) {
        outputs.push_back(frameOutputPath(options.output, frame, options.frames));
        checkImagePath(outputs.back());
    }

    MaterialSet materials(options.material);
    const bool defaultScene = options.scene == "default";
    const SceneChoices choices = defaultScene ? defaultSceneChoices() : objSceneChoices();
    std::string chosen;
    if (materials.plugin() != nullptr) {
        for (const ParameterSetting& setting : choices.materialSettings) {
            if (!materials.chosenBySource(setting.name)) {
                materials.plugin()->set(setting);
                chosen += " " + setting.name + "=" + setting.value;
            }
        }
    }
    Scene scene;
    const SceneFraming framing =
        defaultScene ? buildDefaultScene(scene, materials)
                     : buildObjScene(scene, materials, options.scene, options.meshLimits);

    RenderSettings settings;
    settings.samplesPerPixel =
        options.samplesPerPixel > 0 ? options.samplesPerPixel : choices.samplesPerPixel;
    settings.threadCount = options.threads;
    settings.indirect = choices.indirect;
    std::string renderChosen;
    if (options.clampIndirect >= 0.0f) {
        settings.indirect.clamp = options.clampIndirect;
    } else if (choices.indirect.clamp > 0.0f) {
        renderChosen += " --clamp-indirect " + formatNumber(choices.indirect.clamp);
    }
    if (options.lightSpread >= 0.0f) {
        settings.indirect.lightSpreadDegrees = options.lightSpread;
    } else if (choices.indirect.lightSpreadDegrees > 0.0f) {
        renderChosen += " --light-spread " + formatNumber(choices.indirect.lightSpreadDegrees);
    }
    if (settings.threadCount <= 0) {
        settings.threadCount = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    std::printf("glitter_render: %s scene, %s camera, %dx%d, %d samples per pixel, %d threads\n",
                defaultScene ? "default" : options.scene.c_str(),
                options.camera == CameraPreset::close ? "close" : "far", options.width,
                options.height, settings.samplesPerPixel, settings.threadCount);
    std::printf("material: %s\n", describeMaterial(materials, options).c_str());
    if (!chosen.empty()) {
        std::printf("the scene chose:%s (--set NAME=VALUE to change)\n", chosen.c_str());
    }
    if (!renderChosen.empty()) {
        std::printf("the scene chose:%s (0 turns each off)\n", renderChosen.c_str());
    }
    std::fflush(stdout);

    KuvoUtils::StreamRenderLog log(stderr);
    const bool terminal = isatty(fileno(stderr)) != 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        const Camera camera = presetCamera(options.camera, scene, framing, frame, options.frames,
                                           options.width, options.height);
        std::string label = "rendering";
        if (options.frames > 1) {
            label = "frame " + std::to_string(frame + 1) + "/" + std::to_string(options.frames);
        }
        settings.time = frame * kTicksPerFrame;
        materials.update(settings.time);
        ProgressBar bar(stderr, terminal, label);
        Renderer renderer(scene, camera, settings);
        const auto start = std::chrono::steady_clock::now();
        const Image image =
            renderer.render(&log, [&bar](double fraction) { bar.update(fraction); });
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bar.finish();
        const std::string& path = outputs[static_cast<std::size_t>(frame)];
        writeImage(image, path);
        const double points = static_cast<double>(renderer.shadingPoints());
        std::error_code error;
        const std::string shown = std::filesystem::absolute(path, error).string();
        std::printf("wrote %s: %.2f s, %.3g shading points (%.3g per second)\n",
                    error ? path.c_str() : shown.c_str(), seconds, points,
                    seconds > 0.0 ? points / seconds : 0.0);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    try {
        options = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "glitter_render: %s\nTry 'glitter_render --help'.\n", e.what());
        return 2;
    }
    if (options.showHelp) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    try {
        return run(options);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "glitter_render: %s\nTry 'glitter_render --help'.\n", e.what());
        return 2;
    } catch (const SettingError& e) {
        std::fprintf(stderr, "glitter_render: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glitter_render: %s\n", e.what());
        return 1;
    }
}
