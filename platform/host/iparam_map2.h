// A parameter map: one rollout of a block's parameters in the headless editor. It knows which
// parameters it shows (those whose p_ui entry names its map id and whose controls the dialog
// template holds) and whether each control is enabled.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/host/dialog_template.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/module.h"

namespace host {

class IMtlParams;
class ParamMap2UserDlgProc;

class IParamMap2 : public MaxHeapOperators {
public:
    IParamMap2(const IParamMap2&) = delete;
    IParamMap2& operator=(const IParamMap2&) = delete;

    MapID GetMapID() const { return mapId_; }
    IParamBlock2* GetParamBlock() const { return block_; }
    /// Shows another block of the same description; controls keep their enabled state.
    bool SetParamBlock(IParamBlock2* pb);
    ParamMap2UserDlgProc* GetUserDlgProc() const { return dlgProc_; }
    void SetUserDlgProc(ParamMap2UserDlgProc* proc) { dlgProc_ = proc; }
    HWND GetHWnd() { return &window_; }
    IMtlParams* GetMtlParams() const { return mtlParams_; }
    const MSTR& GetTitle() const { return title_; }
    DWORD GetRollupFlags() const { return rollupFlags_; }
    int GetCategory() const { return category_; }
    bool IsRollupOpen() const { return open_; }
    void SetRollupOpen(bool open) { open_ = open; }

    /// Enables or disables the controls of parameter `id`; ignored when the map has none.
    void Enable(ParamID id, bool onOff, int tabIndex = -1);
    /// True when the map shows parameter `id` and its controls are enabled.
    bool IsEnabled(ParamID id) const;
    bool HasControls(ParamID id) const { return enabled_.count(id) != 0; }
    /// The parameters the map shows, in declaration order.
    std::vector<ParamID> ShownParams() const;
    /// Redraws the controls of `id` (all for -1); the headless map counts the requests.
    void Invalidate(ParamID id = -1);
    int InvalidationCount() const { return invalidations_; }

private:
    friend IParamMap2* CreateMParamMap2(MapID, IParamBlock2*, IMtlParams*, HINSTANCE, HWND, void*,
                                        void*, DLGTEMPLATE*, const MCHAR*, DWORD,
                                        ParamMap2UserDlgProc*, HWND, int);
    friend void DestroyMParamMap2(IParamMap2*);
    IParamMap2() = default;
    ~IParamMap2();

    MapID mapId_ = 0;
    IParamBlock2* block_ = nullptr;
    // Kept apart from the block: SetParamBlock must not read a block its material has deleted.
    const ParamBlockDesc2* desc_ = nullptr;
    IMtlParams* mtlParams_ = nullptr;
    HINSTANCE module_ = nullptr;
    ParamMap2UserDlgProc* dlgProc_ = nullptr;
    MSTR title_;
    DWORD rollupFlags_ = 0;
    int category_ = 0;
    bool open_ = true;
    HostWindow window_;
    std::map<ParamID, bool> enabled_;
    std::vector<ParamID> order_;
    int invalidations_ = 0;
};

/// Creates rollout `mapId` of `pb`'s description: binds the controls, adds the rollout to `ip`
/// (open unless `flags` has APPENDROLL_CLOSED) and sends WM_INITDIALOG to `dlgProc`. Without a
/// template every parameter of the map gets its controls; with one, only those whose control ids
/// the template holds. Null when `pb` is null or its description has no such map.
IParamMap2* CreateMParamMap2(MapID mapId, IParamBlock2* pb, IMtlParams* ip, HINSTANCE hInst,
                             HWND hmedit, void* texDadMgr, void* mtlDadMgr,
                             DLGTEMPLATE* dlgTemplate, const MCHAR* title, DWORD flags,
                             ParamMap2UserDlgProc* dlgProc, HWND hOldRollup, int category);
/// Removes the rollout from its editor and destroys the map. Null is ignored.
void DestroyMParamMap2(IParamMap2* map);

}  // namespace host
