#include "platform/host/remap_dir.h"

namespace host {

ReferenceTarget* RemapDir::CloneRef(ReferenceTarget* oldTarget) {
    if (oldTarget == nullptr) return nullptr;
    if (ReferenceTarget* done = FindMapping(oldTarget)) return done;
    ReferenceTarget* copy = oldTarget->Clone(*this);
    if (copy != nullptr) AddEntry(oldTarget, copy);
    return copy;
}

ReferenceTarget* RemapDir::FindMapping(ReferenceTarget* oldTarget) const {
    const auto it = clones_.find(oldTarget);
    return it == clones_.end() ? nullptr : it->second;
}

void RemapDir::AddEntry(ReferenceTarget* oldTarget, ReferenceTarget* newTarget) {
    clones_[oldTarget] = newTarget;
}

}  // namespace host
