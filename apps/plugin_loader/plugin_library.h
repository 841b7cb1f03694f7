// A plug-in library loaded by path with dlopen, reached only through the four functions every
// plug-in library exports: its description, its version word and its class descriptors. The
// programs that load the material (glitter-host, glitter_render, glitter-studio) share this
// loader, so they accept and refuse exactly the same libraries.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/class_desc.h"

namespace glitter::pluginloader {

/// A plug-in library, material or parameter that cannot be used; the message says why.
class PluginError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
  public:
    /// The host's version word: release 0x4204 in the high 16 bits, API number 0x2C in bits
    /// 8-15, SDK revision 0. A library must have been built for the same release and API; its
    /// SDK revision may differ.
    static constexpr host::ULONG kHostVersion = 0x42042C00;
    /// More classes than this is taken for a damaged library, not a plug-in.
    static constexpr int kMaxClasses = 4096;

    /// Loads the library at `path` and reads its classes. Throws PluginError naming the file
    /// and what is wrong: missing, not loadable, an export missing, a version this host does
    /// not run, or a class count or descriptor that makes no sense.
    explicit PluginLibrary(const std::string& path);
    /// Unloads the library: every object of its classes must be gone by then.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    const std::string& description() const { return description_; }
    host::ULONG version() const { return version_; }
    /// LibClassDesc(0 .. LibNumberClasses() - 1), in that order.
    const std::vector<host::ClassDesc*>& classes() const { return classes_; }
    /// Class 0, which a material library registers as its material. Throws PluginError when
    /// the library has no class or its class 0 is not a material.
    host::ClassDesc& materialClass() const;

  private:
    void* handle_ = nullptr;
    std::string path_;
    std::string description_;
    host::ULONG version_ = 0;
    std::vector<host::ClassDesc*> classes_;
};

/// The library this program was built with: beside the program, or where the build put it.
/// Empty when there is none.
std::string defaultPluginPath();

/// Text of a version word: "0x42042c00 (release 0x4204, API 44, SDK revision 0)".
std::string formatVersion(host::ULONG version);

}  // namespace glitter::pluginloader
