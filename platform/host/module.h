// A loaded module's resources (string table and bitmaps) and the process's module list: what a
// library registers when it is loaded and what the host and the library read through a module
// handle. Also the window-system calls that read them (GetModuleHandleW, LoadStringW,
// LoadBitmapW) and MaxSDK::GetResourceStringAsMSTR.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/host/wstr.h"

namespace host {

/// A bitmap resource: rows top to bottom, `bitsPerPixel` 24 (BGR) or 1 (mask, one byte per pixel).
struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    std::vector<std::uint8_t> pixels;
};

class Module {
public:
    explicit Module(WStr name) : name_(std::move(name)) {}
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const WStr& Name() const { return name_; }
    void AddString(int id, WStr text) { strings_[id] = std::move(text); }
    void AddBitmap(int id, Bitmap bitmap) { bitmaps_[id] = std::move(bitmap); }
    /// The string or bitmap with this id, or null. Each call counts as one resource read.
    const WStr* FindString(int id) const;
    const Bitmap* FindBitmap(int id) const;
    /// Resource reads so far (so tests can tell a cached answer from a fresh read).
    int ResourceReads() const { return reads_.load(); }
    const std::map<int, WStr>& Strings() const { return strings_; }

private:
    WStr name_;
    std::map<int, WStr> strings_;
    std::map<int, Bitmap> bitmaps_;
    mutable std::atomic<int> reads_{0};
};

/// A module handle; null when there is no module.
using HINSTANCE = const Module*;
using HBITMAP = const Bitmap*;

/// Adds a module to the process's module list and answers its handle. A module with the same
/// name (case-insensitive) is replaced; handles to the old one become invalid.
HINSTANCE RegisterModule(std::unique_ptr<Module> module);
/// Removes a module; its handle becomes invalid.
void UnregisterModule(HINSTANCE module);

/// The loaded module with this file name (case-insensitive), or null. Looks only: loads nothing.
HINSTANCE GetModuleHandleW(const char16_t* name);
/// Copies string `id` of `module` into `buffer` (truncated to bufferMax - 1 units, terminated)
/// and answers its length; 0 when there is no such string. With bufferMax 0 nothing is copied.
int LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int bufferMax);
/// Bitmap `id` of `module`, owned by the module; null when there is none.
HBITMAP LoadBitmapW(HINSTANCE module, int id);
/// Initialises the common controls; the headless host only counts the calls.
void InitCommonControls();
int CommonControlsInitCount();

}  // namespace host

namespace MaxSDK {
/// String `id` of `module`; empty when there is none.
host::MSTR GetResourceStringAsMSTR(host::HINSTANCE module, host::UINT id);
}  // namespace MaxSDK
