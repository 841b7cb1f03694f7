#include "apps/studio/png_bytes.h"

#include <png.h>

#include <stdexcept>

namespace glitter::studio {

std::string encodePngRgba(int width, int height, const std::vector<std::uint8_t>& rgba) {
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        throw std::invalid_argument("encodePngRgba: the pixels do not match the size");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    // The first call only measures, the second writes.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("cannot encode PNG: ") + image.message);
    }
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("cannot encode PNG: ") + image.message);
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace glitter::studio
