#include "plugin/skel_mtl_dlg_proc.h"

#include "platform/host/iparam_map2.h"
#include "plugin/rollout_rules.h"

namespace glitter {

namespace {
SkelMtlDlgProc dlgProc;
}  // namespace

SkelMtlDlgProc& SkelMtlDlgProc::instance() { return dlgProc; }

host::INT_PTR SkelMtlDlgProc::DlgProc(host::TimeValue, host::IParamMap2* map, host::HWND, host::UINT msg,
                                      host::WPARAM, host::LPARAM) {
    if (msg == host::WM_INITDIALOG && map != nullptr && map->GetParamBlock() != nullptr &&
        map->GetParamBlock()->GetOwner() != nullptr) {
        applyRolloutRules(map);
    }
    return 0;
}

}  // namespace glitter
