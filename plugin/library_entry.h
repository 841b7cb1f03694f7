// The library's entry point, as the system calls it when the library is loaded or unloaded: it
// keeps the module handle through which the host reads the library's resources, and
// initialises the common controls once.
#pragma once

#include "platform/host/module.h"

namespace glitter {

class LibraryEntry {
public:
    /// The system's call: stores `module` (on every call) and, on the first call, initialises
    /// the common controls. Always succeeds.
    static bool enter(host::HINSTANCE module);

    /// The module handle stored by the last call of `enter`. A program that links the plug-in's
    /// code directly (its tests) has no load event before its first use, so the first question
    /// registers the library's resources and enters then.
    static host::HINSTANCE instance();

    /// Whether the common controls have been initialised.
    static bool commonControlsInitialised();
};

}  // namespace glitter
