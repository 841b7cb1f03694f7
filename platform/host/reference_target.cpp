#include "platform/host/reference_target.h"

#include <algorithm>

namespace host {

namespace {
// Change messages travel up the dependency graph; a cycle must not recurse without end.
constexpr int kMaxNotifyDepth = 64;
}  // namespace

ReferenceTarget::~ReferenceTarget() {
    // Copy: each dependent removes itself from the list while it lets go.
    const std::vector<ReferenceMaker*> dependents = dependents_;
    for (ReferenceMaker* maker : dependents) {
        PartID part = PART_ALL;
        maker->NotifyRefChanged(FOREVER, this, part, REFMSG_TARGET_DELETED, false);
        for (int i = 0; i < maker->NumRefs(); ++i) {
            if (maker->GetReference(i) == this) maker->SetReference(i, nullptr);
        }
        while (true) {
            const auto it = std::find(maker->held_.begin(), maker->held_.end(), this);
            if (it == maker->held_.end()) break;
            maker->held_.erase(it);
        }
    }
    dependents_.clear();
}

ReferenceTarget* ReferenceTarget::Clone(RemapDir&) { return nullptr; }
void ReferenceTarget::BaseClone(ReferenceTarget*, ReferenceTarget*, RemapDir&) {}

ReferenceMaker* ReferenceTarget::GetDependent(int i) const {
    if (i < 0 || i >= NumDependents()) return nullptr;
    return dependents_[static_cast<std::size_t>(i)];
}

bool ReferenceTarget::MaybeAutoDelete() {
    if (!dependents_.empty()) return false;
    DeleteThis();
    return true;
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID,
                                            RefMessage message, bool propagate) {
    return notify(changeInt, partID, message, propagate, 0);
}

RefResult ReferenceTarget::notify(const Interval& changeInt, PartID partID, RefMessage message,
                                  bool propagate, int depth) {
    if (depth >= kMaxNotifyDepth) return REF_STOP;
    const std::vector<ReferenceMaker*> dependents = dependents_;
    for (ReferenceMaker* maker : dependents) {
        // A dependent may drop its reference while handling an earlier message.
        if (std::find(dependents_.begin(), dependents_.end(), maker) == dependents_.end()) continue;
        PartID part = partID;
        const RefResult result = maker->NotifyRefChanged(changeInt, this, part, message, propagate);
        if (result == REF_STOP) return REF_STOP;
        if (result == REF_SUCCEED && propagate && maker->IsRefTarget()) {
            static_cast<ReferenceTarget*>(maker)->notify(changeInt, part, message, propagate,
                                                         depth + 1);
        }
    }
    return REF_SUCCEED;
}

}  // namespace host
