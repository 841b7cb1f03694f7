// The command line of glitter_render: options, their checks and the help text.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "apps/renderer/material_source.h"
#include "apps/renderer/scene_presets.h"

namespace glitter::renderer {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CliOptions {
    bool showHelp = false;
    int threads = 0;  ///< 0: one per hardware thread
    int samplesPerPixel = 16;
    int width = 640;
    int height = 360;
    std::string output = "render.png";
    CameraPreset camera = CameraPreset::far;
    int frames = 1;
    std::string scene = "default";  ///< "default" or an OBJ file
    MaterialSource material;
};

/// Parses the arguments after the program name; throws UsageError with a one-line reason.
CliOptions parseCommandLine(const std::vector<std::string>& args);

/// The file name of frame `frame` (0-based) of `frameCount`: `output` itself for a single
/// frame, else its stem with a four-digit frame number from 0001 before the extension.
std::string frameOutputPath(const std::string& output, int frame, int frameCount);

std::string helpText();

}  // namespace glitter::renderer
