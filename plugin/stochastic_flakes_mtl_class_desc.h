// The material's class descriptor: creates materials, owns the parameter block description,
// tells the material browser which renderer the material belongs to (with its icons) and under
// which category to list it.
#pragma once

#include <mutex>

#include "platform/host/class_desc2.h"
#include "platform/host/imaterial_browser_entry_info.h"
#include "platform/host/imtl_render_compatibility.h"

namespace glitter {

/// Class id of the production renderer, the one renderer the material works with.
inline constexpr host::Class_ID kProductionRendererClassID{0x73bab286, 0x77f8fd0c};

class StochasticFlakesMtlClassDesc : public host::ClassDesc2,
                                     public host::IMtlRender_Compatibility_MtlBase,
                                     public host::IMaterialBrowserEntryInfo {
public:
    /// Registers the compatibility interface with this descriptor.
    StochasticFlakesMtlClassDesc();
    /// Destroys the icon image list.
    ~StochasticFlakesMtlClassDesc() override;

    // ClassDesc / ClassDesc2.
    int IsPublic() override { return 1; }
    /// A new StochasticFlakesMtl; `loading` is not needed (a loaded material's block values
    /// arrive through its references).
    host::ReferenceTarget* Create(bool loading = false) override;
    const host::MCHAR* ClassName() override;
    host::SClass_ID SuperClassID() override { return host::MATERIAL_CLASS_ID; }
    host::Class_ID ClassID() override;
    const host::MCHAR* Category() override { return u""; }
    const host::MCHAR* InternalName() override;
    /// The library's module (also the compatibility interface's answer).
    host::HINSTANCE HInstance() override;
    /// The browser entry for its id; any other id goes to the registered interfaces.
    host::FPInterface* GetInterface(host::Interface_ID id) override;

    // IMtlRender_Compatibility_MtlBase.
    bool IsCompatibleWithRenderer(host::ClassDesc& rendererClassDesc) override;
    /// The icons (inactive 0, active 1, disabled 2), built once from bitmaps 101 and 102.
    bool GetCustomMtlBrowserIcon(host::HIMAGELIST& hImageList, int& inactiveIndex, int& activeIndex,
                                 int& disabledIndex) override;

    // IMaterialBrowserEntryInfo.
    const host::MCHAR* GetEntryName() const override { return nullptr; }
    /// "Materials\Kuvo", or with the material editor's module "sme.gup" loaded, its localized
    /// word for materials (string 432) followed by "\Kuvo".
    const host::MCHAR* GetEntryCategory() const override;
    bool HasEntryThumbnail() const override { return false; }
    const host::Bitmap* GetEntryThumbnail() const override { return nullptr; }
    bool IsEntryHidden() const override { return false; }

private:
    std::mutex iconMutex;
    host::HIMAGELIST imageList = nullptr;
};

/// The library's class descriptor and the block description it owns (static objects, built
/// when the library is loaded).
StochasticFlakesMtlClassDesc* GetStochasticFlakesMtlDesc();
host::ParamBlockDesc2* GetStochasticFlakesParamBlockDesc();

namespace detail {
/// The browser icons of `module`: an 11 x 11 image list holding bitmap 101 cut in three, with
/// mask 102. Null when a bitmap is missing or does not fit (nothing is left allocated).
host::HIMAGELIST makeBrowserIconList(host::HINSTANCE module);
}  // namespace detail

}  // namespace glitter
