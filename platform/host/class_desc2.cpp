#include "platform/host/class_desc2.h"

#include <algorithm>

#include "platform/host/iparam_block2.h"
#include "platform/host/reference_target.h"

namespace host {

ClassDesc2::~ClassDesc2() {
    for (ParamBlockDesc2* pbd : descs_) {
        if (pbd->cd == this) pbd->cd = nullptr;
    }
}

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* pbd) {
    if (pbd == nullptr) return;
    if (std::find(descs_.begin(), descs_.end(), pbd) == descs_.end()) descs_.push_back(pbd);
}

void ClassDesc2::RemoveParamBlockDesc(ParamBlockDesc2* pbd) {
    descs_.erase(std::remove(descs_.begin(), descs_.end(), pbd), descs_.end());
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) const {
    if (i < 0 || i >= NumParamBlockDescs()) return nullptr;
    return descs_[static_cast<std::size_t>(i)];
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) const {
    for (ParamBlockDesc2* pbd : descs_) {
        if (pbd->id == id) return pbd;
    }
    return nullptr;
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (owner == nullptr) return;
    for (ParamBlockDesc2* pbd : descs_) {
        if ((pbd->flags & P_AUTO_CONSTRUCT) == 0) continue;
        IParamBlock2* block = CreateParameterBlock2(pbd, owner);
        if (owner->ReplaceReference(pbd->refNo, block) != REF_SUCCEED) block->DeleteThis();
    }
}

void ClassDesc2::Reset(ReferenceTarget* owner, bool updateUI, bool callSetHandlers) {
    if (owner == nullptr) return;
    for (ParamBlockDesc2* pbd : descs_) {
        if (IParamBlock2* block = owner->GetParamBlockByID(pbd->id);
            block != nullptr && block->GetDesc() == pbd) {
            block->ResetAll(updateUI, callSetHandlers);
        }
    }
}

void ClassDesc2::InvalidateUI(ParamBlockDesc2*, ParamID id, int) {
    ++uiInvalidations_;
    lastInvalidated_ = id;
}

}  // namespace host
