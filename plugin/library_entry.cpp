#include "plugin/library_entry.h"

#include <atomic>
#include <cstdlib>

#include "plugin/resources.h"

namespace glitter {

namespace {

std::atomic<host::HINSTANCE> storedModule{nullptr};
std::atomic<bool> commonControls{false};

void onLibraryUnload() {
    const host::HINSTANCE module = storedModule.load();
    LibraryEntry::enter(nullptr);
    host::UnregisterModule(module);
}

// Run by the loader when the library is loaded (dlopen, or start-up of a program that links
// the code). The unload half is registered with atexit from here, not as an ELF destructor:
// atexit handlers of a shared object run at its dlclose, or at exit before those registered
// earlier, so the host layer's module list (first used just above) is still alive then.
__attribute__((constructor)) void onLibraryLoad() {
    LibraryEntry::enter(registerPluginResources());
    std::atexit(onLibraryUnload);
}

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
