// Where a render's materials come from. The command line fills a MaterialSource; a
// MaterialSet turns it into the materials the scene borrows, and owns them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "apps/renderer/builtin_material.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace glitter::renderer {

/// The material under test (the one on the scene's main object).
struct MaterialSource {
    /// A material plug-in library to load. Empty: the renderer's built-in Beckmann lobe,
    /// which is the glitter's own far-away limit.
    std::string pluginPath;
    /// Parameter values by internal name, applied in order to the plug-in's material.
    std::vector<std::pair<std::string, std::string>> settings;
};

class MaterialSet {
  public:
    /// Throws std::runtime_error when the source asks for something this build cannot give.
    explicit MaterialSet(const MaterialSource& source);
    ~MaterialSet();
    MaterialSet(const MaterialSet&) = delete;
    MaterialSet& operator=(const MaterialSet&) = delete;

    /// The material under test.
    KuvoUtils::KuvoRenderMtl* subject() const { return subjectMaterial; }
    /// The renderer's diffuse grey for the ground.
    KuvoUtils::KuvoRenderMtl* ground() const { return groundMaterial.get(); }

    /// Parameters of the built-in stand-in for the material under test.
    static BuiltinMaterialParams standInParams();
    static BuiltinMaterialParams groundParams();

  private:
    std::unique_ptr<BuiltinMaterial> groundMaterial;
    std::unique_ptr<BuiltinMaterial> standIn;
    KuvoUtils::KuvoRenderMtl* subjectMaterial = nullptr;
};

}  // namespace glitter::renderer
