#include "platform/host/module.h"

#include <algorithm>
#include <mutex>

namespace host {

namespace {

struct ModuleList {
    std::mutex mutex;
    std::vector<std::unique_ptr<Module>> modules;
};

ModuleList& moduleList() {
    static ModuleList list;
    return list;
}

char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

std::atomic<int> commonControlsInits{0};

}  // namespace

const WStr* Module::FindString(int id) const {
    ++reads_;
    const auto it = strings_.find(id);
    return it == strings_.end() ? nullptr : &it->second;
}

const Bitmap* Module::FindBitmap(int id) const {
    ++reads_;
    const auto it = bitmaps_.find(id);
    return it == bitmaps_.end() ? nullptr : &it->second;
}

HINSTANCE RegisterModule(std::unique_ptr<Module> module) {
    if (!module) return nullptr;
    ModuleList& list = moduleList();
    std::lock_guard lock(list.mutex);
    list.modules.erase(std::remove_if(list.modules.begin(), list.modules.end(),
                                      [&](const std::unique_ptr<Module>& m) {
                                          return sameName(m->Name().view(), module->Name().view());
                                      }),
                       list.modules.end());
    list.modules.push_back(std::move(module));
    return list.modules.back().get();
}

void UnregisterModule(HINSTANCE module) {
    ModuleList& list = moduleList();
    std::lock_guard lock(list.mutex);
    list.modules.erase(
        std::remove_if(list.modules.begin(), list.modules.end(),
                       [&](const std::unique_ptr<Module>& m) { return m.get() == module; }),
        list.modules.end());
}

HINSTANCE GetModuleHandleW(const char16_t* name) {
    if (name == nullptr) return nullptr;
    ModuleList& list = moduleList();
    std::lock_guard lock(list.mutex);
    for (const std::unique_ptr<Module>& m : list.modules) {
        if (sameName(m->Name().view(), name)) return m.get();
    }
    return nullptr;
}

int LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int bufferMax) {
    if (module == nullptr || id > 0x7fffffffu) return 0;
    const WStr* text = module->FindString(static_cast<int>(id));
    if (text == nullptr) {
        if (buffer != nullptr && bufferMax > 0) buffer[0] = u'\0';
        return 0;
    }
    if (buffer == nullptr || bufferMax <= 0) return text->Length();
    const int count = std::min(text->Length(), bufferMax - 1);
    std::copy_n(text->data(), count, buffer);
    buffer[count] = u'\0';
    return count;
}

HBITMAP LoadBitmapW(HINSTANCE module, int id) {
    return module == nullptr ? nullptr : module->FindBitmap(id);
}

void InitCommonControls() { ++commonControlsInits; }
int CommonControlsInitCount() { return commonControlsInits.load(); }

}  // namespace host

namespace MaxSDK {

host::MSTR GetResourceStringAsMSTR(host::HINSTANCE module, host::UINT id) {
    if (module == nullptr || id > 0x7fffffffu) return host::MSTR();
    const host::WStr* text = module->FindString(static_cast<int>(id));
    return text == nullptr ? host::MSTR() : *text;
}

}  // namespace MaxSDK
