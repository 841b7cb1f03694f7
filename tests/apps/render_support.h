// What the renderer's tests share: refusals' messages, bit-exact image comparison, estimates
// with their standard errors, the real glitter material, and the default scene rendered whole.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "apps/renderer/material_source.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"

namespace glitter::renderer::testing {

/// The message of the `Error` that `action` threw, or "" when it threw nothing.
template <typename Error, typename Action>
std::string errorOf(Action action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

inline bool sameBits(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.pixels().data(), b.pixels().data(), a.pixels().size() * sizeof(Color)) ==
               0;
}

/// The mean of the values added, with its standard error.
struct Estimate {
    double sum = 0.0, sumSquares = 0.0;
    int count = 0;

    void add(double value) {
        sum += value;
        sumSquares += value * value;
        ++count;
    }
    double mean() const { return sum / count; }
    double standardError() const {
        return std::sqrt(std::max(0.0, (sumSquares - sum * mean()) / (count - 1)) / count);
    }
};

inline void expectAgree(const Estimate& a, const Estimate& b, const char* what) {
    EXPECT_LT(std::fabs(a.mean() - b.mean()),
              4.0 * std::hypot(a.standardError(), b.standardError()) + 1e-9)
        << what << ": " << a.mean() << " +- " << a.standardError() << " vs " << b.mean() << " +- "
        << b.standardError();
}

/// The glitter material of the plug-in library built with the program.
inline MaterialSource glitter(std::vector<ParameterSetting> settings) {
    MaterialSource source;
    source.pluginPath = GLITTER_PLUGIN_DLT;
    source.settings = std::move(settings);
    return source;
}

inline RenderSettings renderSettings(int samplesPerPixel, int threadCount) {
    RenderSettings settings;
    settings.samplesPerPixel = samplesPerPixel;
    settings.threadCount = threadCount;
    return settings;
}

/// The default scene, rendered through the whole renderer.
struct DefaultScene {
    MaterialSet materials;
    Scene scene;
    SceneFraming framing;

    explicit DefaultScene(const MaterialSource& source) : materials(source) {
        framing = buildDefaultScene(scene, materials);
    }

    Camera camera(CameraPreset preset, int width, int height) const {
        return presetCamera(preset, scene, framing, 0, 1, width, height);
    }

    Image render(CameraPreset preset, int width, int height, const RenderSettings& settings,
                 KuvoUtils::RenderLog* log = nullptr) {
        const Camera view = camera(preset, width, height);
        materials.update(settings.time);
        return Renderer(scene, view, settings).render(log);
    }
};

}  // namespace glitter::renderer::testing
