// Whole renders of the default scene with the glitter plug-in, loaded with dlopen as
// glitter_render loads it: the wall time of one image with flakes on and with enable_flakes
// off (both measured in the same run, with their ratio), and shading points per second.
// Images are 640x360 at the default scene's samples per pixel, on two threads, unless
// GLITTER_BENCH_SIZE (e.g. 320x180) says otherwise.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "apps/renderer/material_source.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"

namespace glitter::renderer {
namespace {

struct Size {
    int width = 640;
    int height = 360;
};

Size imageSize() {
    Size size;
    if (const char* text = std::getenv("GLITTER_BENCH_SIZE"); text != nullptr) {
        int w = 0;
        int h = 0;
        if (std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 4096 &&
            h <= 4096) {
            size = {w, h};
        }
    }
    return size;
}

struct Timing {
    double seconds = 0.0;
    double cpuSeconds = 0.0;  ///< of the whole process, all threads: the guide on a busy machine
    double shadingPoints = 0.0;
};

// One render of the default scene as the program makes it, with `flakes` on or off.
Timing renderDefault(CameraPreset preset, bool flakes) {
    MaterialSource source;
    source.pluginPath = GLITTER_PLUGIN_DLT;
    source.settings = defaultSceneChoices().materialSettings;
    source.settings.push_back({"enable_flakes", flakes ? "on" : "off"});
    MaterialSet materials(source);
    Scene scene;
    const SceneFraming framing = buildDefaultScene(scene, materials);
    const Size size = imageSize();
    const Camera camera = presetCamera(preset, scene, framing, 0, 1, size.width, size.height);
    RenderSettings settings;
    settings.samplesPerPixel = defaultSceneChoices().samplesPerPixel;
    settings.threadCount = 2;
    materials.update(0);
    Renderer renderer(scene, camera, settings);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const Image image = renderer.render(nullptr);
    benchmark::DoNotOptimize(image.pixels().data());
    Timing t;
    t.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.shadingPoints = static_cast<double>(renderer.shadingPoints());
    return t;
}

// Flakes on and off in one iteration, so that both see the same machine load.
void BM_DefaultRenderFlakesOnVsOff(benchmark::State& state) {
    const CameraPreset preset = state.range(0) == 0 ? CameraPreset::far : CameraPreset::close;
    Timing on;
    Timing off;
    for (auto _ : state) {
        on = renderDefault(preset, true);
        off = renderDefault(preset, false);
        state.SetIterationTime(on.seconds + off.seconds);
    }
    state.counters["on_s"] = on.seconds;
    state.counters["off_s"] = off.seconds;
    state.counters["on_over_off"] = on.seconds / off.seconds;
    state.counters["on_cpu_s"] = on.cpuSeconds;
    state.counters["off_cpu_s"] = off.cpuSeconds;
    state.counters["cpu_on_over_off"] = on.cpuSeconds / off.cpuSeconds;
    state.counters["points_per_s_on"] = on.shadingPoints / on.seconds;
    state.counters["points_per_s_off"] = off.shadingPoints / off.seconds;
    state.SetLabel(preset == CameraPreset::far ? "far (the default render)" : "close");
}
BENCHMARK(BM_DefaultRenderFlakesOnVsOff)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace glitter::renderer
