#include "apps/renderer/material_source.h"

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
    params.subdivs = 2;
    return params;
}

MaterialSet::MaterialSet(const MaterialSource& source_)
    : source(source_), groundMaterial(std::make_unique<BuiltinMaterial>(groundParams())) {
    if (source.pluginPath.empty()) {
        if (!source.materialFile.empty() || !source.settings.empty()) {
            throw PluginError("a material file or parameter settings need the plug-in library");
        }
        standIn = std::make_unique<BuiltinMaterial>(standInParams());
        subjectMaterial = standIn.get();
        return;
    }
    library = std::make_unique<PluginLibrary>(source.pluginPath);
    pluginMaterial = source.materialFile.empty()
                         ? std::make_unique<PluginMaterial>(*library)
                         : std::make_unique<PluginMaterial>(*library, source.materialFile);
    for (const ParameterSetting& setting : source.settings) {
        pluginMaterial->set(setting);
    }
    subjectMaterial = &pluginMaterial->renderFace();
}

MaterialSet::~MaterialSet() {
    pluginMaterial.reset();
    library.reset();
}

void MaterialSet::update(host::TimeValue t) {
    if (pluginMaterial) {
        pluginMaterial->update(t);
    }
}

bool MaterialSet::chosenBySource(const std::string& name) const {
    if (!source.materialFile.empty()) {
        return true;
    }
    for (const ParameterSetting& setting : source.settings) {
        if (setting.name == name) {
            return true;
        }
    }
    return false;
}

}  // namespace glitter::renderer
