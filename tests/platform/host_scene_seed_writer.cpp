// Writes the stored-scene loader fuzzer's seed corpus into the folder given as argument: the
// sample scene, and the plug-in's material with something in every kind of slot.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/host/scene_file.h"
#include "tests/platform/host_sample_scene.h"
#include "tests/plugin/plugin_test_support.h"

int main(int argc, char** argv) {
    using namespace host;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    Scene sample, plugin;
    testing::buildSampleScene(sample);
    auto* mtl = glitter::test::newMaterial().release();
    glitter::test::dressUp(*mtl);
    plugin.AddMaterial(mtl);
    std::string error;
    if (SaveSceneFile(sample, folder / "sample.glsc", error) != IO_OK ||
        SaveSceneFile(plugin, folder / "plugin.glsc", error) != IO_OK) {
        std::fprintf(stderr, "cannot write the seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
