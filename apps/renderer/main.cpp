// glitter_render: renders the glitter material plug-in (or the renderer's built-in stand-in) on
// a built-in or OBJ scene to an EXR or PNG image.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image_writer.h"
#include "apps/renderer/progress_bar.h"
#include "apps/renderer/render_job.h"
#include "platform/host/wstr.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace glitter::renderer;

std::string describeMaterial(const RenderJob& job) {
    const PluginMaterial* plugin = job.materials().plugin();
    const CliOptions& options = job.options();
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

int run(const CliOptions& options) {
    // Every output name is checked before the first sample, so no render time is lost to one.
    std::vector<std::string> outputs;
    for (int frame = 0; frame < options.frames; ++frame) {
        outputs.push_back(frameOutputPath(options.output, frame, options.frames));
        checkImagePath(outputs.back());
    }

    RenderJob job(options);
    const RenderSettings& settings = job.settings();
    std::printf("glitter_render: %s scene, %s camera, %dx%d, %d %s per pixel, %d %s\n",
                options.scene == "default" ? "default" : options.scene.c_str(),
                options.camera == CameraPreset::close ? "close" : "far", options.width,
                options.height, settings.samplesPerPixel,
                settings.samplesPerPixel == 1 ? "sample" : "samples", settings.threadCount,
                settings.threadCount == 1 ? "thread" : "threads");
    std::printf("material: %s\n", describeMaterial(job).c_str());
    if (!job.chosenParameters().empty()) {
        std::printf("the scene chose:%s (--set NAME=VALUE to change)\n",
                    job.chosenParameters().c_str());
    }
    if (!job.chosenOptions().empty()) {
        std::printf("the scene chose:%s (0 turns each off)\n", job.chosenOptions().c_str());
    }
    std::fflush(stdout);

    KuvoUtils::StreamRenderLog log(stderr);
    const bool terminal = isatty(fileno(stderr)) != 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        std::string label = "rendering";
        if (options.frames > 1) {
            label = "frame " + std::to_string(frame + 1) + "/" + std::to_string(options.frames);
        }
        ProgressBar bar(stderr, terminal, label);
        double points = 0.0;
        const auto start = std::chrono::steady_clock::now();
        const Image image = job.renderFrame(
            frame, &log, [&bar](double fraction) { bar.update(fraction); }, &points);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bar.finish();
        const std::string& path = outputs[static_cast<std::size_t>(frame)];
        writeImage(image, path);
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
