// libFuzzer target for the stored-scene loader: any input loads, or is refused with a message
// leaving the scene empty; nothing leaks; a scene that loads saves, loads again and saves to the
// same bytes. The loader knows the test material and the plug-in's, so its chunks are reached too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host/scene_file.h"
#include "plugin/stochastic_flakes_mtl_class_desc.h"
#include "tests/platform/host_sample_scene.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "scene loader fuzzer: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace host;
    static const ClassDirectory classes = [] {
        ClassDirectory d;
        d.Add(testing::GetTestMtlDesc());
        d.Add(glitter::GetStochasticFlakesMtlDesc());
        return d;
    }();
    const int live = testing::TestMtl::live;
    {
        Scene scene;
        std::string error;
        if (LoadScene({data, size}, classes, scene, error) != IO_OK) {
            if (error.empty()) fail("refused without a message", "");
            if (scene.NumMaterials() != 0) fail("a refused load changed the scene", error);
        } else {
            Scene again;
            testing::Bytes first, second;
            if (SaveScene(scene, first, error) != IO_OK) fail("a loaded scene does not save", error);
            if (LoadScene(first, classes, again, error) != IO_OK) fail("a re-saved scene does not load", error);
            if (SaveScene(again, second, error) != IO_OK) fail("a reloaded scene does not save", error);
            if (second != first) fail("save, load, save changed the bytes", "");
        }
    }
    if (testing::TestMtl::live != live)
        fail("materials outlived their scene", std::to_string(testing::TestMtl::live - live));
    return 0;
}
