// The renderer's side of the plug-in boundary: the library's material class, materials created
// or loaded from stored scenes, parameters set from text by name, and the per-render log that
// says each message once.
#include "apps/renderer/plugin_material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "apps/plugin_loader/plugin_library.h"
#include "apps/renderer/material_source.h"
#include "apps/renderer/parameter_setting.h"
#include "apps/renderer/unique_message_log.h"
#include "platform/host/checker_texmap.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/scene.h"
#include "platform/host/scene_file.h"
#include "platform/renderer/capturing_render_log.h"
#include "tests/apps/render_support.h"
#include "tests/support/program_run.h"

namespace glitter::renderer {
namespace {

using glitter::renderer::testing::errorOf;

class PluginMaterialTest : public ::testing::Test {
  protected:
    PluginLibrary library{GLITTER_PLUGIN_DLT};
    PluginMaterial material{library};

    host::ParamScriptValue value(const char16_t* name) {
        return *material.material().GetParamBlock(0)->GetValueByName(name, 0);
    }
    host::Texmap* map() { return std::get<host::Texmap*>(value(u"reflection_map")); }
};

TEST_F(PluginMaterialTest, SetsEveryTypeByName) {
    EXPECT_EQ(library.materialClass().SuperClassID(), host::MATERIAL_CLASS_ID);
    // Range ends are values like any other.
    for (const char* setting : {"num_flakes=2000000000", "texture_subdivs=0", "texture_subdivs=22",
                                "hilight_glossiness=0.75", "enable_flakes=off", "random_hue=yes",
                                "reflection_filter=0.5,0.25,1", "reflection_map=checker:4"}) {
        material.set(parseParameterSetting(setting));
    }
    EXPECT_EQ(material.intValue("num_flakes"), 2000000000);
    EXPECT_EQ(material.intValue("texture_subdivs"), 22);
    EXPECT_EQ(std::get<float>(value(u"hilight_glossiness")), 0.75f);
    EXPECT_EQ(std::get<bool>(value(u"enable_flakes")), false);
    EXPECT_EQ(material.intValue("random_hue"), 1);
    EXPECT_EQ(std::get<host::Color>(value(u"reflection_filter")), host::Color(0.5f, 0.25f, 1.0f));
    // Maps are made from their text (renders show what they reflect); none removes one.
    ASSERT_NE(map(), nullptr);
    material.set({"reflection_map", "none"});
    EXPECT_EQ(map(), nullptr);
}

TEST_F(PluginMaterialTest, RefusesUnknownNamesAndBadValuesWithoutChangingAnything) {
    const struct {
        const char* name;
        const char* text;
        const char* says;
    } cases[] = {
        {"num_flake", "5", "num_flakes, hilight_glossiness"},
        {"num_flakes", "0", "from 1 to 2000000000"},
        {"num_flakes", "2000000001", "whole number"},
        {"num_flakes", "12.5", "whole number"},
        {"texture_subdivs", "23", "from 0 to 22"},
        {"hilight_glossiness", "-0.1", "from 0 to 10000"},
        {"hilight_glossiness", "nan", "takes a number"},
        {"hilight_glossiness", "0.5x", "takes a number"},
        {"blur_angle", "20.5", "from 0 to 20"},
        {"enable_flakes", "maybe", "on or off"},
        {"reflection_filter", "1,1", "R,G,B"},
        {"reflection_filter", "1,-1,1", "from 0 to 1000"},
        {"reflection_filter", "1,1,nan", "R,G,B"},
        {"reflection_map", "bricks", "checker[:TILING]"},
        {"reflection_map", "checker:0", "checker[:TILING]"},
        {"reflection_map", "constant:1,1,1,2", "constant:R,G,B[,A]"},
    };
    for (const auto& c : cases) {
        const std::string said = errorOf<SettingError>([&] { material.set({c.name, c.text}); });
        EXPECT_NE(said.find(c.says), std::string::npos) << c.name << "=" << c.text << ": " << said;
        EXPECT_NE(said.find(c.name), std::string::npos) << said;
    }
    // Nothing was changed by the refused values: the block holds the defaults.
    EXPECT_EQ(material.intValue("num_flakes"), 10000000);
    EXPECT_EQ(material.intValue("texture_subdivs"), 12);
    EXPECT_EQ(std::get<float>(value(u"hilight_glossiness")), 0.9f);
    EXPECT_EQ(std::get<float>(value(u"blur_angle")), 3.0f);
    EXPECT_EQ(std::get<host::Color>(value(u"reflection_filter")), host::Color(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(map(), nullptr);
}

TEST_F(PluginMaterialTest, LoadsTheMaterialOfAStoredScene) {
    // A stored scene as the command-line host writes one: a map, then the material; and one
    // with the map alone. The material renders like the settings it holds.
    const std::vector<ParameterSetting> settings = {{"subdivs", "2"},
                                                    {"flake_scale", "3"},
                                                    {"random_hue", "on"},
                                                    {"reflection_map", "checker:3"},
                                                    {"reflection_map_mult", "60"}};
    const glitter::testing::ScratchFolder folder;
    for (bool withMaterial : {true, false}) {
        host::Scene scene;
        scene.AddMaterial(new host::CheckerTexmap());
        if (withMaterial) {
            auto* mtl = dynamic_cast<host::Mtl*>(library.materialClass().Create(false));
            ASSERT_NE(mtl, nullptr);
            scene.AddMaterial(mtl);
            mtl->SetName(host::WStr(u"Red glitter"));
            for (const ParameterSetting& s : settings) applyParameterSetting(*mtl, s, 0);
        }
        std::string error;
        ASSERT_EQ(
            host::SaveSceneFile(scene, folder / (withMaterial ? "stored.gsc" : "maps.gsc"), error),
            host::IO_OK)
            << error;
    }
    EXPECT_EQ(PluginMaterial(library, folder / "stored.gsc").name(), "Red glitter");
    MaterialSource fromFile = testing::glitter({});
    fromFile.materialFile = folder / "stored.gsc";
    testing::DefaultScene loaded(fromFile);
    testing::DefaultScene direct(testing::glitter(settings));
    for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
        const RenderSettings s = testing::renderSettings(2, 2);
        EXPECT_TRUE(
            testing::sameBits(loaded.render(preset, 48, 27, s), direct.render(preset, 48, 27, s)));
    }

    const std::string refusal =
        errorOf<PluginError>([&] { PluginMaterial(library, folder / "maps.gsc"); });
    EXPECT_NE(refusal.find("holds no material of class KuvoStochasticFlakesMtl"), std::string::npos)
        << refusal;
}

TEST(MaterialSet, SettingsNeedThePluginAndAreAppliedInOrder) {
    MaterialSource source;
    source.settings = {{"subdivs", "3"}};
    EXPECT_THROW(MaterialSet{source}, PluginError);

    source.pluginPath = GLITTER_PLUGIN_DLT;
    source.settings = {{"subdivs", "3"}, {"num_flakes", "77"}, {"subdivs", "5"}};
    MaterialSet set(source);
    ASSERT_NE(set.plugin(), nullptr);
    EXPECT_EQ(set.subject(), &set.plugin()->renderFace());
    EXPECT_EQ(set.plugin()->intValue("subdivs"), 5);
    EXPECT_EQ(set.plugin()->intValue("num_flakes"), 77);
    EXPECT_TRUE(set.chosenBySource("num_flakes"));
    EXPECT_FALSE(set.chosenBySource("flake_scale"));

    source.settings = {{"subdivs", "0"}};
    EXPECT_THROW(MaterialSet{source}, SettingError);
}

TEST(UniqueMessageLogThreads, PassesEachDistinctMessageOnOnce) {
    KuvoUtils::CapturingRenderLog target;
    {
        UniqueMessageLog log(&target);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&log] {
                for (int i = 0; i < 50; ++i) {
                    log.printWarning("%s :: too big", "Glitter");
                    log.printInfo("%s :: too big", "Glitter");
                }
            });
        }
        for (std::thread& t : threads) t.join();
        log.printWarning("another %d", 2);
    }
    std::vector<std::string> lines = target.lines();
    std::sort(lines.begin(), lines.end());  // threads race for the first two
    EXPECT_EQ(lines, (std::vector<std::string>{"Glitter :: too big", "warning: Glitter :: too big",
                                               "warning: another 2"}));

    // Past the remembered limit messages still arrive; a null target swallows everything.
    KuvoUtils::CapturingRenderLog many;
    UniqueMessageLog bounded(&many);
    for (std::size_t i = 0; i < UniqueMessageLog::kMaxRemembered + 10; ++i) {
        bounded.printWarning("message %zu", i);
    }
    EXPECT_EQ(many.lines().size(), UniqueMessageLog::kMaxRemembered + 10);
    UniqueMessageLog(nullptr).printError("lost");
}

}  // namespace
}  // namespace glitter::renderer
