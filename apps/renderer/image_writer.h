// Writes an image by file extension: OpenEXR (.exr, linear 32-bit float RGB) or PNG (.png,
// tone-mapped to 8-bit sRGB). The file appears whole or not at all: it is written to a
// temporary file in the same folder and renamed into place.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "apps/renderer/image.h"

namespace glitter::renderer {

class ImageWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class ImageFormat { exr, png };

/// The format of `path`'s extension (case-insensitive); throws ImageWriteError for others.
ImageFormat imageFormatFor(const std::string& path);

/// Throws ImageWriteError unless `path` has a known extension, names no directory and lies in
/// an existing folder that this process may write. Lets a program fail before a long render.
void checkImagePath(const std::string& path);

/// Writes `image` to `path`; throws ImageWriteError (and leaves no file behind) on failure.
void writeImage(const Image& image, const std::string& path);

/// The PNG mapping of one linear channel value: a soft shoulder above 0.8 that approaches 1,
/// then the sRGB curve, rounded to 8 bits. Non-finite or negative values give 0.
std::uint8_t toneMapToSrgb8(float linear);

}  // namespace glitter::renderer
