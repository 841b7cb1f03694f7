#include "apps/plugin_loader/plugin_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "platform/host/class_id.h"
#include "platform/host/plugin_library_abi.h"
#include "platform/host/wstr.h"

namespace glitter::pluginloader {
namespace {

namespace fs = std::filesystem;

host::ULONG releaseAndApi(host::ULONG version) { return version & 0xffffff00u; }

}  // namespace

std::string formatVersion(host::ULONG version) {
    char text[80];
    std::snprintf(text, sizeof text, "0x%08x (release 0x%04x, API %u, SDK revision %u)",
                  static_cast<unsigned>(version), static_cast<unsigned>(version >> 16),
                  static_cast<unsigned>((version >> 8) & 0xffu),
                  static_cast<unsigned>(version & 0xffu));
    return text;
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw PluginError("plug-in library '" + path + "' does not exist");
    if (!fs::is_regular_file(status)) {
        throw PluginError("plug-in library '" + path + "' is not a file");
    }
    // An absolute path, so dlopen never searches the library path for a bare file name.
    const std::string absolute = fs::absolute(path, ec).string();
    // RTLD_NOW: a library whose symbols do not all resolve against this host fails here, with
    // dlerror's reason, instead of at its first call.
    handle_ = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw PluginError("cannot load plug-in library '" + path +
                          "': " + (reason != nullptr ? reason : "unknown reason"));
    }
    try {
        auto find = [&](const char* name) {
            void* symbol = dlsym(handle_, name);
            if (symbol == nullptr) {
                throw PluginError("'" + path + "' is not a plug-in library: it does not export " +
                                  name);
            }
            return symbol;
        };
        // dlsym answers void*; POSIX guarantees the round trip to a function pointer.
        const auto libDescription = reinterpret_cast<LibDescriptionFn>(find(kLibDescriptionSymbol));
        const auto libNumberClasses =
            reinterpret_cast<LibNumberClassesFn>(find(kLibNumberClassesSymbol));
        const auto libClassDesc = reinterpret_cast<LibClassDescFn>(find(kLibClassDescSymbol));
        const auto libVersion = reinterpret_cast<LibVersionFn>(find(kLibVersionSymbol));

        version_ = libVersion();
        if (releaseAndApi(version_) != releaseAndApi(kHostVersion)) {
            throw PluginError("plug-in library '" + path + "' was built for host version " +
                              formatVersion(version_) + "; this host is " +
                              formatVersion(kHostVersion));
        }
        const host::MCHAR* description = libDescription();
        description_ = host::WStr(description).toUtf8();
        const int count = libNumberClasses();
        if (count < 0 || count > kMaxClasses) {
            throw PluginError("plug-in library '" + path + "' claims " + std::to_string(count) +
                              " classes");
        }
        for (int i = 0; i < count; ++i) {
            host::ClassDesc* cd = libClassDesc(i);
            if (cd == nullptr) {
                throw PluginError("plug-in library '" + path + "' has no class descriptor " +
                                  std::to_string(i) + " of " + std::to_string(count));
            }
            classes_.push_back(cd);
        }
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

PluginLibrary::~PluginLibrary() { dlclose(handle_); }

host::ClassDesc& PluginLibrary::materialClass() const {
    if (classes_.empty() || classes_.front()->SuperClassID() != host::MATERIAL_CLASS_ID) {
        throw PluginError("plug-in library '" + path_ + "' has no material as its class 0");
    }
    return *classes_.front();
}

std::string defaultPluginPath() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = program.parent_path() / kPluginLibraryFileName;
        if (fs::is_regular_file(beside, ec)) return beside.string();
    }
#ifdef GLITTER_BUILT_PLUGIN
    if (fs::is_regular_file(GLITTER_BUILT_PLUGIN, ec)) return GLITTER_BUILT_PLUGIN;
#endif
    return {};
}

}  // namespace glitter::pluginloader
