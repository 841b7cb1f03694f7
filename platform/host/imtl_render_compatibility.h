// The static interface through which a material class tells the host which renderers it
// works with and which icons the material browser shows for it.
#pragma once

#include "platform/host/class_desc.h"
#include "platform/host/image_list.h"

namespace host {

inline constexpr Interface_ID IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID{0x5537445b, 0x70a97e02};

class IMtlRender_Compatibility_MtlBase : public FPStaticInterface {
public:
    /// True when the class works with the renderer of class descriptor `rendererClassDesc`.
    virtual bool IsCompatibleWithRenderer(ClassDesc& rendererClassDesc) = 0;
    /// The browser's icons: an image list and the indices of the inactive, active and disabled
    /// images. False when the class has none.
    virtual bool GetCustomMtlBrowserIcon(HIMAGELIST& hImageList, int& inactiveIndex,
                                         int& activeIndex, int& disabledIndex);
    /// The module whose resources the icons come from.
    virtual HINSTANCE HInstance();
};

/// The class's compatibility interface, or null when it registered none.
IMtlRender_Compatibility_MtlBase* Get_IMtlRender_Compability_MtlBase(ClassDesc& mtlClassDesc);

}  // namespace host
