// What a host program needs to load the plug-in library with dlopen: the names and pointer
// types of its four exported entry points. Header-only: including it links no plug-in code.
#pragma once

#include "platform/host/class_desc.h"
#include "platform/host/host_types.h"

namespace glitter {

/// File name of the plug-in library.
inline constexpr char kPluginLibraryFileName[] = "kuvostochasticflakesmtl2015.dlt";

inline constexpr char kLibDescriptionSymbol[] = "LibDescription";
inline constexpr char kLibNumberClassesSymbol[] = "LibNumberClasses";
inline constexpr char kLibClassDescSymbol[] = "LibClassDesc";
inline constexpr char kLibVersionSymbol[] = "LibVersion";

/// The library's description, zero-terminated UTF-16 in static storage.
using LibDescriptionFn = const char16_t* (*)();
/// Number of classes the library registers.
using LibNumberClassesFn = int (*)();
/// Class descriptor i, or null when there is no such class.
using LibClassDescFn = host::ClassDesc* (*)(int);
/// The host version word the library was built for.
using LibVersionFn = host::ULONG (*)();

/// Host release 0x4204 in the high 16 bits, API number 0x2C in bits 8 to 15, SDK revision 0.
inline constexpr host::ULONG kPluginLibVersion = 0x42042C00;

}  // namespace glitter
