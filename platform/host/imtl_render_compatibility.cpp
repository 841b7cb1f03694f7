#include "platform/host/imtl_render_compatibility.h"

namespace host {

bool IMtlRender_Compatibility_MtlBase::GetCustomMtlBrowserIcon(HIMAGELIST&, int&, int&, int&) {
    return false;
}
HINSTANCE IMtlRender_Compatibility_MtlBase::HInstance() { return nullptr; }

IMtlRender_Compatibility_MtlBase* Get_IMtlRender_Compability_MtlBase(ClassDesc& mtlClassDesc) {
    return dynamic_cast<IMtlRender_Compatibility_MtlBase*>(
        mtlClassDesc.GetInterface(IMTLRENDER_COMPATIBILITY_MTLBASE_INTERFACEID));
}

}  // namespace host
