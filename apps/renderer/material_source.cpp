#include "apps/renderer/material_source.h"

#include <stdexcept>

namespace glitter::renderer {

BuiltinMaterialParams MaterialSet::standInParams() {
    BuiltinMaterialParams params;
    params.lobe = BuiltinLobe::glossy;
    params.reflectance = Color(0.9f, 0.75f, 0.45f);
    params.roughness = 0.15f;
    params.subdivs = 1;
    return params;
}

BuiltinMaterialParams MaterialSet::groundParams() {
    BuiltinMaterialParams params;
    params.lobe = BuiltinLobe::diffuse;
    params.reflectance = Color(0.45f);
    params.subdivs = 1;
    return params;
}

MaterialSet::MaterialSet(const MaterialSource& source)
    : groundMaterial(std::make_unique<BuiltinMaterial>(groundParams())) {
    // The plug-in loader takes this place: it opens source.pluginPath, creates the material
    // through the library's class descriptor, applies source.settings by parameter name and
    // takes the material's KuvoRenderMtl face (interface 0x13072005) as the subject.
    if (!source.pluginPath.empty() || !source.settings.empty()) {
        throw std::runtime_error("this renderer was built without the material plug-in loader");
    }
    standIn = std::make_unique<BuiltinMaterial>(standInParams());
    subjectMaterial = standIn.get();
}

MaterialSet::~MaterialSet() = default;

}  // namespace glitter::renderer
