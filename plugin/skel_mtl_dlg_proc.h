// The dialog procedure shared by every rollout of every material: when a rollout is created it
// applies the enabling rules to it.
#pragma once

#include "platform/host/param_map2_user_dlg_proc.h"

namespace glitter {

class SkelMtlDlgProc : public host::ParamMap2UserDlgProc {
public:
    /// On WM_INITDIALOG, applies the enabling rules to `map` when its block has an owner.
    /// Answers false (not handled) to every message.
    host::INT_PTR DlgProc(host::TimeValue t, host::IParamMap2* map, host::HWND hWnd, host::UINT msg,
                          host::WPARAM wParam, host::LPARAM lParam) override;
    /// Nothing: the instance is static.
    void DeleteThis() override {}
    void SetThing(host::ReferenceTarget* m) override { material = m; }

    /// The library's one instance, built when the library is loaded.
    static SkelMtlDlgProc& instance();

    /// Stored by SetThing; the rules read the map's block, not this.
    host::ReferenceTarget* material = nullptr;
};

}  // namespace glitter
