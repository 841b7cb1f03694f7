// A stored scene that uses every feature of the format: two materials sharing one keyed checker
// map, keys on every animatable parameter type, a constant map as a root of its own, and names.
// The tests check it round-trips; the loader's fuzzer starts from it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/host/class_directory.h"
#include "platform/host/scene.h"

namespace host::testing {

// Distinctive stored values, so tests can find and corrupt their bytes in a saved file.
inline constexpr float kSampleGloss = 1.2345f;
inline constexpr TimeValue kSampleKeyTimes[2] = {1111, 2222};

/// Fills `scene` (which should be empty) with the sample materials and maps.
void buildSampleScene(Scene& scene);
/// The sample scene, saved.
std::vector<std::uint8_t> sampleSceneBytes();
/// A class directory that knows the test material (and the host's own classes).
const ClassDirectory& testClassDirectory();

}  // namespace host::testing
