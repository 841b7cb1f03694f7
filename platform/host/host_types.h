// Scalar and handle types of the host SDK and the window system it runs on, as this stand-in
// defines them: fixed-width integers, 16-bit text units and opaque window handles.
#pragma once

#include <cstdint>

namespace host {

using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = int;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

/// Host text is 16-bit: one UTF-16 code unit.
using MCHAR = char16_t;

using ParamID = short;
using BlockID = short;
using MapID = short;
using StringResID = int;

/// A window of the headless editor. Windows are owned by the parameter maps that create them.
struct HostWindow {
    int id = 0;
};
using HWND = HostWindow*;

/// The dialog's initialisation message.
inline constexpr UINT WM_INITDIALOG = 0x110;

/// Base of host-allocated heap objects; the stand-in uses the ordinary heap.
class MaxHeapOperators {};

}  // namespace host
