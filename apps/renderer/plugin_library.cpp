#include "apps/renderer/plugin_library.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/host/class_id.h"
#include "platform/host/plugin_library_abi.h"

namespace glitter::renderer {

namespace {

namespace fs = std::filesystem;

// The release and API bytes must match; the SDK revision in the low byte may differ.
constexpr host::ULONG kReleaseAndApiMask = 0xffffff00u;
// More classes than this is a damaged library, not a plug-in.
constexpr int kMaxClasses = 4096;

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : libraryPath(path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        throw PluginError("plug-in library '" + path + "' does not exist or is not a file");
    }
    // An absolute path, so that dlopen never searches the library path for a bare name;
    // RTLD_NOW, so that a library whose host symbols this program lacks fails here.
    const std::string absolute = fs::absolute(path, error).string();
    handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        throw PluginError("cannot load plug-in library '" + path +
                          "': " + (reason != nullptr ? reason : "unknown reason"));
    }
    try {
        auto find = [&](const char* name) {
            void* symbol = dlsym(handle, name);
            if (symbol == nullptr) {
                throw PluginError("'" + path + "' is not a plug-in library: it does not export " +
                                  name);
            }
            return symbol;
        };
        // dlsym answers void*; POSIX guarantees the round trip to a function pointer.
        const auto version = reinterpret_cast<LibVersionFn>(find(kLibVersionSymbol))();
        const auto count = reinterpret_cast<LibNumberClassesFn>(find(kLibNumberClassesSymbol))();
        const auto classDescFn = reinterpret_cast<LibClassDescFn>(find(kLibClassDescSymbol));
        find(kLibDescriptionSymbol);
        if ((version & kReleaseAndApiMask) != (kPluginLibVersion & kReleaseAndApiMask)) {
            throw PluginError("plug-in library '" + path + "' was built for another host version");
        }
        if (count < 1 || count > kMaxClasses) {
            throw PluginError("plug-in library '" + path + "' registers " + std::to_string(count) +
                              " classes");
        }
        classDesc = classDescFn(0);
        if (classDesc == nullptr || classDesc->SuperClassID() != host::MATERIAL_CLASS_ID) {
            throw PluginError("plug-in library '" + path + "' has no material as its class 0");
        }
    } catch (...) {
        dlclose(handle);
        throw;
    }
}

PluginLibrary::~PluginLibrary() { dlclose(handle); }

std::string defaultPluginPath() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path beside = program.parent_path() / kPluginLibraryFileName;
        if (fs::is_regular_file(beside, error)) {
            return beside.string();
        }
    }
#ifdef GLITTER_BUILT_PLUGIN
    if (fs::is_regular_file(GLITTER_BUILT_PLUGIN, error)) {
        return GLITTER_BUILT_PLUGIN;
    }
#endif
    return {};
}

}  // namespace glitter::renderer
