// A linear RGB image of floats, row by row from the top.
#pragma once

#include <vector>

#include "platform/renderer/color.h"

namespace glitter::renderer {

class Image {
  public:
    Image(int width, int height);

    int width() const { return w; }
    int height() const { return h; }
    KuvoUtils::Color& at(int x, int y) { return data[index(x, y)]; }
    const KuvoUtils::Color& at(int x, int y) const { return data[index(x, y)]; }
    const std::vector<KuvoUtils::Color>& pixels() const { return data; }

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
               static_cast<std::size_t>(x);
    }

    int w;
    int h;
    std::vector<KuvoUtils::Color> data;
};

}  // namespace glitter::renderer
