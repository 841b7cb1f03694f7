// One run of the host: the loaded plug-in library, the classes the host can create (its own and
// the library's) and the scene being inspected or edited.
#pragma once

#include <string>

#include "apps/plugin_loader/plugin_library.h"
#include "platform/host/class_directory.h"
#include "platform/host/mtl.h"
#include "platform/host/scene.h"

namespace glitter::hostcli {

class HostSession {
  public:
    /// Loads the library and adds its classes to the directory. Throws CliError.
    explicit HostSession(const std::string& pluginPath);
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    const pluginloader::PluginLibrary& library() const { return library_; }
    host::Scene& scene() { return scene_; }

    /// A new material of the library, added to the scene. `className` names the class (class or
    /// internal name); empty: the library's only public material class.
    host::Mtl* createMaterial(const std::string& className);
    /// Replaces the scene with the stored scene at `path`; a damaged file changes nothing.
    void loadScene(const std::string& path);
    /// Saves the scene to `path`, replacing it whole or not at all.
    void saveScene(const std::string& path);
    /// The scene's material of a library class that `selector` names: its name, or its number
    /// (1 = first) among the scene's materials and maps. Empty: the only one there is.
    host::Mtl* findMaterial(const std::string& selector);
    /// The library's class descriptor of `object`'s class, or null.
    host::ClassDesc* libraryClassOf(host::Animatable* object) const;

  private:
    // Declared in this order so that the scene (and every object of the library's classes)
    // goes first and the library's code is unloaded last.
    pluginloader::PluginLibrary library_;
    host::ClassDirectory classes_;
    host::Scene scene_;
};

}  // namespace glitter::hostcli
