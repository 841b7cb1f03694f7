// Writes the stored-scene loader fuzzer's seed corpus into the folder given as argument: the
// sample scene, and the plug-in's material with keys, a colour and a map so its chunks are in it.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/host/constant_texmap.h"
#include "platform/host/scene_file.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"
#include "tests/platform/host_sample_scene.h"

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
    auto* mtl = static_cast<Mtl*>(glitter::GetStochasticFlakesMtlDesc()->Create(false));
    plugin.AddMaterial(mtl);
    IParamBlock2* pb = mtl->GetParamBlock(0);
    pb->SetValueByName(u"reflection_filter", 0, Color(0.25f, 0.5f, 0.75f));
    pb->SetValueByName(u"reflection_map", 0, static_cast<Texmap*>(new ConstantTexmap()));
    pb->SetKey(4, 0, 1.0f);  // blur_angle
    pb->SetKey(4, 100, 2.0f);
    std::string error;
    if (SaveSceneFile(sample, folder / "sample.glsc", error) != IO_OK ||
        SaveSceneFile(plugin, folder / "plugin.glsc", error) != IO_OK) {
        std::fprintf(stderr, "cannot write the seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
