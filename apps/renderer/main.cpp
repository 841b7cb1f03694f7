// glitter_render: renders a material on a built-in or OBJ scene to an EXR or PNG image.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image_writer.h"
#include "apps/renderer/progress_bar.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace glitter::renderer;

int run(const CliOptions& options) {
    std::vector<std::string> outputs;
    for (int frame = 0; frame < options.frames; ++frame) {
        outputs.push_back(frameOutputPath(options.output, frame, options.frames));
        checkImagePath(outputs.back());
    }

    MaterialSet materials(options.material);
    Scene scene;
    const SceneFraming framing = options.scene == "default"
                                     ? buildDefaultScene(scene, materials)
                                     : buildObjScene(scene, materials, options.scene);

    RenderSettings settings;
    settings.samplesPerPixel = options.samplesPerPixel;
    settings.threadCount = options.threads;
    if (settings.threadCount <= 0) {
        settings.threadCount = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    KuvoUtils::StreamRenderLog log(stderr);
    const bool terminal = isatty(fileno(stderr)) != 0;

    for (int frame = 0; frame < options.frames; ++frame) {
        const Camera camera = presetCamera(options.camera, scene, framing, frame, options.frames,
                                           options.width, options.height);
        std::string label = "rendering";
        if (options.frames > 1) {
            label = "frame " + std::to_string(frame + 1) + "/" + std::to_string(options.frames);
        }
        ProgressBar bar(stderr, terminal, label);
        Renderer renderer(scene, camera, settings);
        const Image image =
            renderer.render(&log, [&bar](double fraction) { bar.update(fraction); });
        bar.finish();
        writeImage(image, outputs[static_cast<std::size_t>(frame)]);
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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glitter_render: %s\n", e.what());
        return 1;
    }
}
