#include "plugin/material_browser_category.h"

#include <atomic>
#include <mutex>

#include "platform/host/module.h"

namespace glitter {

namespace {

constexpr char16_t kFixedCategory[] = u"Materials\\Kuvo";
constexpr char16_t kRendererGroup[] = u"\\Kuvo";

// Built once; never changed afterwards, so its text pointer stays valid.
std::mutex categoryMutex;
host::WStr category;
std::atomic<bool> categoryBuilt{false};

}  // namespace

const host::MCHAR* materialBrowserCategory() {
    const host::HINSTANCE editor = host::GetModuleHandleW(kMaterialEditorModuleName);
    if (editor == nullptr) return kFixedCategory;
    if (categoryBuilt.load(std::memory_order_acquire)) return category.data();
    std::lock_guard lock(categoryMutex);
    if (!categoryBuilt.load(std::memory_order_relaxed)) {
        host::WStr materials = MaxSDK::GetResourceStringAsMSTR(editor, kMaterialsCategoryStringId);
        // A module without the word would list the material under a nameless top level.
        if (materials.isNull()) return kFixedCategory;
        category = materials;
        category += kRendererGroup;
        categoryBuilt.store(true, std::memory_order_release);
    }
    return category.data();
}

}  // namespace glitter
