// One material of a plug-in library, as the renderer holds it: created through the library's
// class descriptor or loaded from a stored scene, its parameters set by name, brought up to
// date at a frame's time, and rendered through its KuvoRenderMtl face.
#pragma once

#include <string>

#include "apps/renderer/parameter_setting.h"
#include "apps/plugin_loader/plugin_library.h"
#include "platform/host/mtl.h"
#include "platform/host/scene.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace glitter::renderer {

using pluginloader::PluginLibrary;

class PluginMaterial {
  public:
    /// A new material of the library's material class, at its defaults. Throws PluginError.
    explicit PluginMaterial(PluginLibrary& library);
    /// The first material of the library's class in the stored scene `file` (as the
    /// command-line host saves it). Throws PluginError for a file that cannot be loaded or
    /// holds no such material.
    PluginMaterial(PluginLibrary& library, const std::string& file);
    ~PluginMaterial();
    PluginMaterial(const PluginMaterial&) = delete;
    PluginMaterial& operator=(const PluginMaterial&) = delete;

    /// See applyParameterSetting.
    void set(const ParameterSetting& setting, host::TimeValue t = 0);
    /// Caches the parameter values at `t` in the material (its Update); the render reads the
    /// cache, so this comes before every render's prepareRender.
    void update(host::TimeValue t);

    host::Mtl& material() const { return *mtl; }
    KuvoUtils::KuvoRenderMtl& renderFace() const { return *face; }
    /// The material's name, in UTF-8 (empty when it has none).
    std::string name() const;
    /// The value of int or bool parameter `name` at `t`. Throws SettingError for an unknown
    /// name or another type.
    int intValue(const std::string& name, host::TimeValue t = 0) const;

  private:
    void takeMaterial(host::ReferenceTarget* object);

    // The scene holds the only reference to the material, so releasing it deletes the
    // material (and its block and maps) before the library that has their code goes.
    host::Scene scene;
    host::Mtl* mtl = nullptr;
    KuvoUtils::KuvoRenderMtl* face = nullptr;
};

}  // namespace glitter::renderer
