// A stored scene that uses every feature of the format: two materials sharing one keyed checker
// map, keys on every animatable parameter type, a constant map as a root of its own, and names.
// The tests check it round-trips; the loader's fuzzer starts from it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/checker_texmap.h"
#include "platform/host/class_directory.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/scene_file.h"
#include "tests/platform/host_test_material.h"

namespace host::testing {

// Distinctive stored values, so tests can find and corrupt their bytes in a saved file.
inline constexpr float kSampleGloss = 1.2345f;
inline constexpr TimeValue kSampleKeyTimes[2] = {1111, 2222};

/// Fills `scene` (which should be empty) with the sample materials and maps.
inline void buildSampleScene(Scene& scene) {
    auto* checker = new CheckerTexmap();
    checker->SetName(u"shared checker");
    checker->pblock->SetValue(CheckerTexmap::kMapChannel, 0, 3);
    checker->pblock->SetKey(CheckerTexmap::kTiling, 0, 2.0f);
    checker->pblock->SetKey(CheckerTexmap::kTiling, 50, 8.0f);
    checker->pblock->SetValue(CheckerTexmap::kColor2, 0, Color(0.9f, 0.1f, 0.2f));

    auto* first = new TestMtl();
    first->SetName(u"first \u00e9\U0001F600");
    first->SetGBufID(7);
    IParamBlock2& a = *first->pblock;
    a.SetValue(TestMtl::kGloss, 0, kSampleGloss);
    a.SetKey(TestMtl::kCount, kSampleKeyTimes[0], 3);
    a.SetKey(TestMtl::kCount, kSampleKeyTimes[1], 60);
    a.SetKey(TestMtl::kTint, -100, Color(0.0f, 0.25f, 0.5f));
    a.SetKey(TestMtl::kTint, 100, Color(1.0f, 0.75f, 0.5f));
    a.SetKey(TestMtl::kEnabled, 0, 0);
    a.SetKey(TestMtl::kEnabled, 30, 1);
    a.SetValue(TestMtl::kScale, 0, -7.5f);
    a.SetValue(TestMtl::kMode, 0, 1);
    a.SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(checker));

    auto* second = new TestMtl();
    second->SetName(u"second");
    second->pblock->SetValue(TestMtl::kMap, 0, static_cast<Texmap*>(checker));
    second->pblock->SetValue(TestMtl::kEnabled, 0, 0);

    auto* constant = new ConstantTexmap();
    constant->SetName(u"constant");
    constant->pblock->SetValue(ConstantTexmap::kColor, 0, Color(0.3f, 0.6f, 0.9f));
    constant->pblock->SetKey(ConstantTexmap::kAlpha, 0, 0.25f);
    constant->pblock->SetKey(ConstantTexmap::kAlpha, 10, 0.75f);

    scene.AddMaterial(first);
    scene.AddMaterial(second);
    scene.AddMaterial(constant);
}

/// The sample scene, saved.
inline std::vector<std::uint8_t> sampleSceneBytes() {
    Scene scene;
    buildSampleScene(scene);
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (SaveScene(scene, bytes, error) != IO_OK) throw std::runtime_error("sample scene: " + error);
    return bytes;
}

/// A class directory that knows the test material (and the host's own classes).
inline const ClassDirectory& testClassDirectory() {
    static const ClassDirectory classes = [] {
        ClassDirectory d;
        d.Add(GetTestMtlDesc());
        return d;
    }();
    return classes;
}

}  // namespace host::testing
