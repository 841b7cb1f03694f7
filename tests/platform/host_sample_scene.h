// Stored scenes for tests: a sample using every feature of the format, and its chunk tree read
// directly so tests can find and damage what a file holds. A chunk header, all little-endian: id
// (2 bytes), kind (1 byte, 1 for a container), a reserved byte, payload length (4 bytes).
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

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t readU32(const Bytes& b, std::size_t pos) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b.at(pos + i)) << (8 * i);
    return v;
}

inline void writeU32(Bytes& b, std::size_t pos, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(pos + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

struct RawChunk {
    std::size_t header = 0;
    std::uint16_t id = 0;
    bool container = false;
    std::uint32_t length = 0;
    std::size_t payload() const { return header + 8; }
    std::size_t end() const { return payload() + length; }
};

/// The chunks that follow one another in [begin, end).
inline std::vector<RawChunk> children(const Bytes& b, std::size_t begin, std::size_t end) {
    std::vector<RawChunk> out;
    for (std::size_t pos = begin; pos + 8 <= end; pos = out.back().end()) {
        const auto id = static_cast<std::uint16_t>(b[pos] | b[pos + 1] << 8);
        out.push_back({pos, id, b[pos + 2] == 1, readU32(b, pos + 4)});
    }
    return out;
}

// Distinctive stored values, so tests can find and corrupt their bytes in a saved file.
inline constexpr float kSampleGloss = 1.2345f;
inline constexpr TimeValue kSampleKeyTimes[2] = {1111, 2222};

/// Fills an empty `scene` with two materials sharing one keyed checker map, keys on every
/// animatable parameter type, a constant map as a root of its own, and names.
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

/// A scene's stored bytes (a scene that cannot be saved throws, failing the test).
inline Bytes saved(Scene& scene) {
    Bytes bytes;
    std::string error;
    if (SaveScene(scene, bytes, error) != IO_OK) throw std::runtime_error("cannot save: " + error);
    return bytes;
}

inline Bytes sampleSceneBytes() {
    Scene scene;
    buildSampleScene(scene);
    return saved(scene);
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
