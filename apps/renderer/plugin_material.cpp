#include "apps/renderer/plugin_material.h"

#include "platform/host/class_directory.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/scene_file.h"

namespace glitter::renderer {

namespace {

// The material answers its render-time face to this numeric interface query.
constexpr host::ULONG kRenderMtlInterfaceId = KuvoUtils::KuvoRenderMtl::kInterfaceId;

}  // namespace

PluginMaterial::PluginMaterial(PluginLibrary& library) {
    host::ReferenceTarget* object = library.materialClass().Create(false);
    if (object == nullptr) {
        throw PluginError("plug-in library '" + library.path() + "' created no material");
    }
    auto* created = dynamic_cast<host::Mtl*>(object);
    if (created == nullptr) {
        object->DeleteThis();
        throw PluginError("plug-in library '" + library.path() +
                          "' created an object that is not a material");
    }
    takeMaterial(created);
}

PluginMaterial::PluginMaterial(PluginLibrary& library, const std::string& file) {
    host::ClassDesc& classDesc = library.materialClass();
    std::string error;
    {
        // The directory knows the library's class only while the file loads.
        host::ClassDirectory classes;
        classes.Add(&classDesc);
        const host::IOResult result = host::LoadSceneFile(file, classes, scene, error);
        classes.Remove(&classDesc);
        if (result != host::IO_OK) {
            throw PluginError("cannot load material file '" + file + "': " + error);
        }
    }
    for (int i = 0; i < scene.NumMaterials(); ++i) {
        host::MtlBase* entry = scene.GetMaterial(i);
        if (entry != nullptr && entry->SuperClassID() == classDesc.SuperClassID() &&
            entry->ClassID() == classDesc.ClassID()) {
            mtl = dynamic_cast<host::Mtl*>(entry);
            break;
        }
    }
    if (mtl == nullptr) {
        scene.Clear();
        throw PluginError("material file '" + file + "' holds no material of class " +
                          host::WStr(classDesc.ClassName()).toUtf8());
    }
    face = static_cast<KuvoUtils::KuvoRenderMtl*>(mtl->GetInterface(kRenderMtlInterfaceId));
    if (face == nullptr) {
        scene.Clear();
        throw PluginError("the material in '" + file + "' has no render-time interface");
    }
}

PluginMaterial::~PluginMaterial() { scene.Clear(); }

void PluginMaterial::takeMaterial(host::ReferenceTarget* object) {
    mtl = static_cast<host::Mtl*>(object);
    scene.AddMaterial(mtl);
    // The material answers its KuvoRenderMtl base as void*; static_cast is the only sound way
    // back to that type.
    face = static_cast<KuvoUtils::KuvoRenderMtl*>(mtl->GetInterface(kRenderMtlInterfaceId));
    if (face == nullptr) {
        scene.Clear();
        throw PluginError("the plug-in's material has no render-time interface");
    }
}

void PluginMaterial::set(const ParameterSetting& setting, host::TimeValue t) {
    applyParameterSetting(*mtl, setting, t);
}

void PluginMaterial::update(host::TimeValue t) {
    host::Interval valid = host::FOREVER;
    mtl->Update(t, valid);
}

std::string PluginMaterial::name() const { return mtl->GetName().toUtf8(); }

int PluginMaterial::intValue(const std::string& name, host::TimeValue t) const {
    const host::WStr wide = host::WStr::fromUtf8(name);
    for (int b = 0; b < mtl->NumParamBlocks(); ++b) {
        host::IParamBlock2* block = mtl->GetParamBlock(b);
        if (block == nullptr) {
            continue;
        }
        const std::optional<host::ParamScriptValue> value = block->GetValueByName(wide.view(), t);
        if (value && std::holds_alternative<int>(*value)) {
            return std::get<int>(*value);
        }
        if (value && std::holds_alternative<bool>(*value)) {
            return std::get<bool>(*value) ? 1 : 0;
        }
    }
    throw SettingError("the material has no whole-number parameter '" + name + "'");
}

}  // namespace glitter::renderer
