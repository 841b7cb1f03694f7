#include "plugin/library_entry.h"

#include <atomic>

#include "plugin/resources.h"

namespace glitter {

namespace {

std::atomic<host::HINSTANCE> storedModule{nullptr};
std::atomic<bool> commonControls{false};

// Registers the library's module while the library is loaded and takes it out at unload. Its
// destructor is registered like any static destructor of the library, under the library's own
// handle, so it runs at dlclose (or at exit); and it is registered after the host layer's module
// list (first used in the constructor), so at exit it runs before that list is destroyed. (A
// plain atexit handler would not do: some runtimes, ThreadSanitizer's among them, run those at
// exit only, after the library's code is gone.)
struct LoadedLibrary {
    LoadedLibrary() { LibraryEntry::enter(registerPluginResources()); }
    ~LoadedLibrary() {
        const host::HINSTANCE module = storedModule.load();
        LibraryEntry::enter(nullptr);
        host::UnregisterModule(module);
    }
};

// Run by the loader when the library is loaded (dlopen, or start-up of a program that links
// the code).
__attribute__((constructor)) void onLibraryLoad() { static LoadedLibrary loaded; }

}  // namespace

bool LibraryEntry::enter(host::HINSTANCE module) {
    storedModule.store(module);
    if (!commonControls.exchange(true)) host::InitCommonControls();
    return true;
}

host::HINSTANCE LibraryEntry::instance() {
    host::HINSTANCE module = storedModule.load();
    if (module == nullptr) {
        module = registerPluginResources();
        enter(module);
    }
    return module;
}

bool LibraryEntry::commonControlsInitialised() { return commonControls.load(); }

}  // namespace glitter
