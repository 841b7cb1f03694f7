// The scenes the program renders (the default glitter sphere, or an OBJ mesh, on a ground
// plane under small sphere lights and a soft sky) and the camera presets that look at the
// material close up and far away.
#pragma once

#include <string>
#include <vector>

#include "apps/renderer/camera.h"
#include "apps/renderer/material_source.h"
#include "apps/renderer/obj_loader.h"
#include "apps/renderer/path_integrator.h"
#include "apps/renderer/scene.h"

namespace glitter::renderer {

enum class CameraPreset { close, far };

/// What a scene chooses when the command line leaves it open.
struct SceneChoices {
    /// Samples per pixel.
    int samplesPerPixel = 8;
    /// Parameters of a new plug-in material that neither --material nor --set gives.
    std::vector<ParameterSetting> materialSettings;
    /// The renderer's controls of indirect noise unless the command line gives them.
    IndirectNoiseControls indirect;
};

/// The default scene's choices, so that it renders in seconds on two cores: 8 samples per
/// pixel and subdivs 3 (9 reflection samples per primary hit instead of the material's 64):
/// the flake search runs once per camera sample, so fewer camera samples with more
/// reflection samples each cost less for the same 72 reflection samples per pixel. And
/// flake_scale 3, so that the far camera's pixels hold some 500 flakes (where flakes melt
/// into the smooth lobe) while the close camera's hold a fraction of one.
SceneChoices defaultSceneChoices();
/// An OBJ scene's: the same samples per pixel, the material's own parameters.
SceneChoices objSceneChoices();

/// Where the material under test sits: a bounding sphere of its object.
struct SceneFraming {
    DVector center;
    double radius = 1.0;
};

/// Fills `scene` (and commits it) with a sphere of the material under test on the ground.
SceneFraming buildDefaultScene(Scene& scene, const MaterialSet& materials);
/// Fills `scene` (and commits it) with the OBJ mesh, scaled to stand two units tall on the
/// ground, in the material under test. Throws SceneError for unusable files.
SceneFraming buildObjScene(Scene& scene, const MaterialSet& materials, const std::string& path,
                           const ObjLimits& limits = {});

/// The camera of `preset` for frame `frame` of `frameCount` (a short sideways orbit around
/// the object; one frame sits in the middle of it). `scene` finds the surface for `close`.
Camera presetCamera(CameraPreset preset, const Scene& scene, const SceneFraming& framing, int frame,
                    int frameCount, int width, int height);

}  // namespace glitter::renderer
