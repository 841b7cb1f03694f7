// A pinhole camera that generates primary rays with their ray differentials (the change of
// the ray for one pixel step in x and in y).
#pragma once

#include "apps/renderer/render_math.h"

namespace glitter::renderer {

/// One primary ray: a pinhole's rays share the origin, so only the direction has
/// differentials.
struct CameraRay {
    DVector origin;
    Vector direction;  ///< unit
    Vector dDdx;       ///< change of `direction` for one pixel step in raster x
    Vector dDdy;       ///< ... and in raster y (downwards)
};

class Camera {
  public:
    /// Looks from `position` at `target`; `up` need not be orthogonal to the view direction.
    /// `verticalFovDegrees` spans the image height of `height` pixels.
    Camera(const DVector& position, const DVector& target, const DVector& up,
           double verticalFovDegrees, int width, int height);

    /// The ray through raster point (x, y): (0, 0) is the top-left corner of the image and
    /// (width, height) the bottom-right one, so pixel (i, j) covers [i, i + 1) x [j, j + 1).
    CameraRay generateRay(double x, double y) const;

    int width() const { return imageWidth; }
    int height() const { return imageHeight; }

  private:
    DVector eye;
    DVector forward;
    DVector right;
    DVector up;
    double pixelSize;  ///< image-plane size of a pixel at distance 1
    int imageWidth;
    int imageHeight;
};

}  // namespace glitter::renderer
