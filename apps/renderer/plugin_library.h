// A material plug-in library opened with dlopen, reached only through the four functions it
// exports: the renderer never links any of the plug-in's code.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/host/class_desc.h"

namespace glitter::renderer {

/// A plug-in library, material or parameter that cannot be used; the message says why.
class PluginError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
  public:
    /// Opens the library at `path` and checks it: the four entry points, a host version of this
    /// release and API, and a material class as class 0. Throws PluginError naming the file and
    /// the problem.
    explicit PluginLibrary(const std::string& path);
    /// Closes the library: every object of its classes must be gone by then.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return libraryPath; }
    /// LibClassDesc(0): the library's material class.
    host::ClassDesc& materialClass() const { return *classDesc; }

  private:
    void* handle = nullptr;
    std::string libraryPath;
    host::ClassDesc* classDesc = nullptr;
};

/// The plug-in library this program was built with: beside the program first, then where the
/// build put it. Empty when neither exists.
std::string defaultPluginPath();

}  // namespace glitter::renderer
