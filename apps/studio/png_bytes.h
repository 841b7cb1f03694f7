// PNG files in memory, for images the studio serves without touching the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glitter::studio {

/// A width x height image of 8-bit RGBA rows, top first, as PNG file bytes.
std::string encodePngRgba(int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace glitter::studio
