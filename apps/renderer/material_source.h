// Where a render's materials come from. The command line fills a MaterialSource; a
// MaterialSet turns it into the materials the scene borrows, and owns them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "apps/renderer/builtin_material.h"
#include "apps/renderer/parameter_setting.h"
#include "apps/plugin_loader/plugin_library.h"
#include "apps/renderer/plugin_material.h"
#include "platform/host/interval.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace glitter::renderer {

/// The material under test (the one on the scene's main object).
struct MaterialSource {
    /// The material plug-in library to load. Empty: the renderer's built-in Beckmann lobe,
    /// which is the glitter's own far-away limit.
    std::string pluginPath;
    /// A stored scene holding the material (empty: a new material at its defaults).
    std::string materialFile;
    /// Parameter values by internal name, applied in order after the file is loaded.
    std::vector<ParameterSetting> settings;
};

class MaterialSet {
  public:
    /// Loads the plug-in and its material when the source names one. Throws PluginError for a
    /// library, file or setting that cannot be used.
    explicit MaterialSet(const MaterialSource& source);
    ~MaterialSet();
    MaterialSet(const MaterialSet&) = delete;
    MaterialSet& operator=(const MaterialSet&) = delete;

    /// The material under test.
    KuvoUtils::KuvoRenderMtl* subject() const { return subjectMaterial; }
    /// The renderer's diffuse grey for the ground.
    KuvoUtils::KuvoRenderMtl* ground() const { return groundMaterial.get(); }
    /// The plug-in's material, or null for the built-in stand-in.
    PluginMaterial* plugin() const { return pluginMaterial.get(); }

    /// Brings the plug-in material up to date at host time `t`; call before every render.
    void update(host::TimeValue t);
    /// Whether the material's parameter `name` was set by the source (by a file or --set), so
    /// a scene leaves it alone.
    bool chosenBySource(const std::string& name) const;

    /// Parameters of the built-in stand-in for the material under test.
    static BuiltinMaterialParams standInParams();
    static BuiltinMaterialParams groundParams();

  private:
    MaterialSource source;
    std::unique_ptr<BuiltinMaterial> groundMaterial;
    std::unique_ptr<BuiltinMaterial> standIn;
    // Declared before the material: members go in reverse order, the library last.
    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<PluginMaterial> pluginMaterial;
    KuvoUtils::KuvoRenderMtl* subjectMaterial = nullptr;
};

}  // namespace glitter::renderer
