#include "platform/host/iparam_map2.h"

#include <algorithm>

#include "platform/host/imtl_params.h"
#include "platform/host/param_dlg.h"
#include "platform/host/param_map2_user_dlg_proc.h"

namespace host {

void ParamMap2UserDlgProc::SetThing(ReferenceTarget*) {}
void ParamMap2UserDlgProc::Update(TimeValue) {}
int ParamDlg::FindSubTexFromHWND(HWND) { return -1; }
int ParamDlg::FindSubMtlFromHWND(HWND) { return -1; }

void IMtlParams::AddRollupPage(IParamMap2* map) {
    if (map != nullptr && std::find(rollups_.begin(), rollups_.end(), map) == rollups_.end())
        rollups_.push_back(map);
}

void IMtlParams::DeleteRollupPage(IParamMap2* map) {
    rollups_.erase(std::remove(rollups_.begin(), rollups_.end(), map), rollups_.end());
}

IParamMap2* IMtlParams::GetRollup(int i) const {
    if (i < 0 || i >= NumRollups()) return nullptr;
    return rollups_[static_cast<std::size_t>(i)];
}

IParamMap2::~IParamMap2() = default;

bool IParamMap2::SetParamBlock(IParamBlock2* pb) {
    if (pb == nullptr || desc_ == nullptr || pb->GetDesc() != desc_) return false;
    block_ = pb;
    Invalidate();
    return true;
}

void IParamMap2::Enable(ParamID id, bool onOff, int) {
    const auto it = enabled_.find(id);
    if (it != enabled_.end()) it->second = onOff;
}

bool IParamMap2::IsEnabled(ParamID id) const {
    const auto it = enabled_.find(id);
    return it != enabled_.end() && it->second;
}

std::vector<ParamID> IParamMap2::ShownParams() const { return order_; }

void IParamMap2::Invalidate(ParamID) { ++invalidations_; }

IParamMap2* CreateMParamMap2(MapID mapId, IParamBlock2* pb, IMtlParams* ip, HINSTANCE hInst, HWND,
                             void*, void*, DLGTEMPLATE* dlgTemplate, const MCHAR* title,
                             DWORD flags, ParamMap2UserDlgProc* dlgProc, HWND, int category) {
    if (pb == nullptr || pb->GetDesc() == nullptr || pb->GetDesc()->GetRollout(mapId) == nullptr)
        return nullptr;
    auto* map = new IParamMap2();
    map->mapId_ = mapId;
    map->block_ = pb;
    map->desc_ = pb->GetDesc();
    map->mtlParams_ = ip;
    map->module_ = hInst;
    map->dlgProc_ = dlgProc;
    map->title_ = MSTR(title);
    map->rollupFlags_ = flags;
    map->category_ = category;
    map->open_ = (flags & APPENDROLL_CLOSED) == 0;
    for (const ParamDef& def : pb->GetDesc()->params) {
        if (!def.ui || def.ui->mapId != mapId) continue;
        const bool inTemplate =
            dlgTemplate == nullptr ||
            std::all_of(def.ui->controlIds.begin(), def.ui->controlIds.end(),
                        [&](int id) { return dlgTemplate->Find(id) != nullptr; });
        if (!inTemplate) continue;
        map->enabled_[def.id] = true;
        map->order_.push_back(def.id);
    }
    if (ip != nullptr) ip->AddRollupPage(map);
    if (dlgProc != nullptr) {
        dlgProc->DlgProc(ip != nullptr ? ip->GetTime() : 0, map, map->GetHWnd(), WM_INITDIALOG, 0,
                         0);
    }
    return map;
}

void DestroyMParamMap2(IParamMap2* map) {
    if (map == nullptr) return;
    if (map->mtlParams_ != nullptr) map->mtlParams_->DeleteRollupPage(map);
    delete map;
}

}  // namespace host
