#pragma once
// One frame of glitter_render, rendered in this process: the program's command line is parsed by
// the program's own parser, and the scene, camera, material and render settings are made from
// it as the program makes them, so the same arguments give the same pixels.

#include <optional>
#include <string>
#include <vector>

#include "apps/renderer/image.h"
#include "apps/renderer/renderer.h"

namespace glitter::python {

// Renders frame `frame` (0-based, of the --frames count) for the program's arguments (without
// the program name; --out is ignored, nothing is written), or only the pixels `tile` of it with
// the bits they have in the whole frame. Throws the renderer's UsageError, PluginError or
// SettingError for arguments it cannot use, std::invalid_argument for a tile outside the frame.
renderer::Image renderInProcess(const std::vector<std::string>& args, int frame,
                                const std::optional<renderer::PixelRect>& tile = std::nullopt);

}  // namespace glitter::python
