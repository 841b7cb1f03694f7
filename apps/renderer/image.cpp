#include "apps/renderer/image.h"

#include <stdexcept>

namespace glitter::renderer {

Image::Image(int width, int height) : w(width), h(height) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("image size must be positive");
    }
    data.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

}  // namespace glitter::renderer
