#include "plugin/stochastic_flakes_mtl_class_desc.h"

#include "plugin/library_entry.h"
#include "plugin/material_browser_category.h"
#include "plugin/resources.h"
#include "plugin/stochastic_flakes_mtl.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter {

using namespace host;

namespace {

constexpr MCHAR kClassName[] = u"KuvoStochasticFlakesMtl";
constexpr int kBrowserIconCount = 3;

// Built at load in this order: the description registers with the descriptor, which must
// exist first.
StochasticFlakesMtlClassDesc classDesc;
ParamBlockDesc2 paramBlockDesc = makeStochasticFlakesParamBlockDesc(&classDesc);

}  // namespace

StochasticFlakesMtlClassDesc* GetStochasticFlakesMtlDesc() { return &classDesc; }
ParamBlockDesc2* GetStochasticFlakesParamBlockDesc() { return &paramBlockDesc; }

HIMAGELIST detail::makeBrowserIconList(HINSTANCE module) {
    const HBITMAP icons = LoadBitmapW(module, kBitmapBrowserIcons);
    const HBITMAP mask = LoadBitmapW(module, kBitmapBrowserIconsMask);
    if (icons == nullptr || mask == nullptr) return nullptr;
    HIMAGELIST list = ImageList_Create(kBrowserIconSize, kBrowserIconSize, ILC_COLOR24 | ILC_MASK, 5, 0);
    if (list == nullptr) return nullptr;
    // A list without all three icons would hand out indices it does not hold.
    if (ImageList_Add(list, icons, mask) < 0 || ImageList_GetImageCount(list) < kBrowserIconCount) {
        ImageList_Destroy(list);
        return nullptr;
    }
    return list;
}

StochasticFlakesMtlClassDesc::StochasticFlakesMtlClassDesc() {
    LoadDescriptor(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID, u"IMtlRender_Compability_MtlBase", 0, this, 0,
                   p_end);
}

StochasticFlakesMtlClassDesc::~StochasticFlakesMtlClassDesc() {
    if (imageList != nullptr) ImageList_Destroy(imageList);
}

ReferenceTarget* StochasticFlakesMtlClassDesc::Create(bool) { return new StochasticFlakesMtl(); }

const MCHAR* StochasticFlakesMtlClassDesc::ClassName() { return kClassName; }

Class_ID StochasticFlakesMtlClassDesc::ClassID() { return StochasticFlakesMtl::kClassID; }

const MCHAR* StochasticFlakesMtlClassDesc::InternalName() { return kClassName; }

HINSTANCE StochasticFlakesMtlClassDesc::HInstance() { return LibraryEntry::instance(); }

FPInterface* StochasticFlakesMtlClassDesc::GetInterface(Interface_ID id) {
    if (id == IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE) return static_cast<IMaterialBrowserEntryInfo*>(this);
    return ClassDesc2::GetInterface(id);
}

bool StochasticFlakesMtlClassDesc::IsCompatibleWithRenderer(ClassDesc& rendererClassDesc) {
    return rendererClassDesc.ClassID() == kProductionRendererClassID;
}

bool StochasticFlakesMtlClassDesc::GetCustomMtlBrowserIcon(HIMAGELIST& hImageList, int& inactiveIndex,
                                                           int& activeIndex, int& disabledIndex) {
    std::lock_guard lock(iconMutex);
    if (imageList == nullptr) imageList = detail::makeBrowserIconList(HInstance());
    if (imageList == nullptr) return false;
    hImageList = imageList;
    inactiveIndex = 0;
    activeIndex = 1;
    disabledIndex = 2;
    return true;
}

const MCHAR* StochasticFlakesMtlClassDesc::GetEntryCategory() const { return materialBrowserCategory(); }

}  // namespace glitter
