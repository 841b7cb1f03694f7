// The command line of glitter_render: options, their checks and the help text.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "apps/renderer/material_source.h"
#include "apps/renderer/obj_loader.h"
#include "apps/renderer/scene_presets.h"

namespace glitter::renderer {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// --plugin's word for the renderer's built-in stand-in material.
inline constexpr char kBuiltinPlugin[] = "builtin";

struct CliOptions {
    bool showHelp = false;
    int threads = 0;          ///< 0: one per hardware thread
    int samplesPerPixel = 0;  ///< 0: the scene's choice
    int width = 640;
    int height = 360;
    std::string output = "glitter.png";
    CameraPreset camera = CameraPreset::far;
    int frames = 1;
    float clampIndirect = -1.0f;    ///< --clamp-indirect; negative: the scene's choice
    float lightSpread = -1.0f;      ///< --light-spread (degrees); negative: the scene's choice
    std::string scene = "default";  ///< "default" or an OBJ file
    ObjLimits meshLimits;           ///< --mesh-limit
    /// --plugin: a library path, kBuiltinPlugin, or empty for the library built with the
    /// program (resolvePluginPath).
    std::string plugin;
    /// The material file and --set values; its plug-in path is filled by resolvePluginPath.
    MaterialSource material;
};

/// Parses the arguments after the program name; throws UsageError with a one-line reason.
CliOptions parseCommandLine(const std::vector<std::string>& args);

/// The plug-in library `options.plugin` stands for, into `options.material.pluginPath`
/// (empty for the built-in stand-in). Throws UsageError when no library was given and none
/// was built, or when the stand-in is asked for together with --material or --set.
void resolvePluginPath(CliOptions& options);

/// The file name of frame `frame` (0-based) of `frameCount`: `output` itself for a single
/// frame, else its stem with a four-digit frame number from 0001 before the extension.
std::string frameOutputPath(const std::string& output, int frame, int frameCount);

std::string helpText();

}  // namespace glitter::renderer
