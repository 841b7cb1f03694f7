// Class, super-class and interface identities by which the host finds and compares objects.
#pragma once

#include <compare>

#include "platform/host/host_types.h"

namespace host {

using SClass_ID = ULONG;

class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    friend constexpr auto operator<=>(const Class_ID&, const Class_ID&) = default;

private:
    ULONG a_ = 0xffffffff;
    ULONG b_ = 0xffffffff;
};

class Interface_ID {
public:
    constexpr Interface_ID() = default;
    constexpr Interface_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    friend constexpr auto operator<=>(const Interface_ID&, const Interface_ID&) = default;

private:
    ULONG a_ = 0;
    ULONG b_ = 0;
};

// Super classes the stand-in knows.
inline constexpr SClass_ID REF_TARGET_CLASS_ID = 0x0307;
inline constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x0082;
inline constexpr SClass_ID MATERIAL_CLASS_ID = 0x0c00;
inline constexpr SClass_ID TEXMAP_CLASS_ID = 0x0c10;
inline constexpr SClass_ID RENDERER_CLASS_ID = 0x0d00;

}  // namespace host
