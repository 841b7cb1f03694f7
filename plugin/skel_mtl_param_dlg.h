// The material's parameter dialog in the material editor: three rollouts ("Basic parameters",
// "Colored flakes parameters", "Advanced parameters") whose dialog templates the renderer host
// plug-in generates from the parameter block.
#pragma once

#include <array>

#include "platform/host/imtl_params.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/param_dlg.h"

namespace glitter {

class StochasticFlakesMtl;

class SkelMtlParamDlg : public host::ParamDlg {
public:
    /// Caption passed to the template generator, and the rollout width in dialog units.
    static constexpr const host::MCHAR* kCaption = u"KuvoStochasticFlakesMtl Parameters";
    static constexpr int kRolloutWidth = 217;
    static constexpr int kRolloutCount = 3;

    /// Creates the three rollouts for `mtl` in the editor `imp`: basic and colored flakes open,
    /// advanced closed.
    SkelMtlParamDlg(StochasticFlakesMtl* mtl, host::HWND hwMtlEdit, host::IMtlParams* imp);

    host::Class_ID ClassID() override;
    /// Moves the dialog to another material of the class: its block goes to every rollout and
    /// the enabling rules are applied again for its switches. Anything else is ignored.
    void SetThing(host::ReferenceTarget* m) override;
    host::ReferenceTarget* GetThing() override;
    void SetTime(host::TimeValue) override {}
    void ReloadDialog() override {}
    /// Destroys the rollouts and the dialog.
    void DeleteThis() override;
    void ActivateDlg(bool) override {}
    int FindSubTexFromHWND(host::HWND) override { return -1; }
    int FindSubMtlFromHWND(host::HWND) override { return -1; }

    /// Rollout `mapId` (0, 1 or 2), or null.
    host::IParamMap2* GetMap(host::MapID mapId) const;
    /// Re-applies the enabling rules to the rollouts whose controls depend on parameter `changed`.
    void RefreshRollouts(host::ParamID changed);

private:
    ~SkelMtlParamDlg() override;
    // The material forgets the dialog, or the dialog the material, whichever goes first.
    void attach(StochasticFlakesMtl* mtl);
    void detach();
    friend class StochasticFlakesMtl;

    StochasticFlakesMtl* material = nullptr;
    host::IMtlParams* mtlParams = nullptr;
    host::IParamMap2* basicMap = nullptr;
    host::IParamMap2* coloredFlakesMap = nullptr;
    host::IParamMap2* advancedMap = nullptr;
};

}  // namespace glitter
