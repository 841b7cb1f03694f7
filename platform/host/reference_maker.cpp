#include "platform/host/reference_maker.h"

#include <algorithm>

#include "platform/host/reference_target.h"

namespace host {

namespace {

template <class T>
bool eraseOne(std::vector<T*>& list, T* item) {
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

// Targets orphaned while a deletion is under way. Deleting a target releases its own
// references, which can orphan further targets: queuing them instead of deleting them on the
// spot keeps a long chain of references from recursing once per link.
thread_local std::vector<ReferenceTarget*>* orphans = nullptr;

void deleteOrphan(ReferenceTarget* target) {
    if (orphans != nullptr) {
        if (std::find(orphans->begin(), orphans->end(), target) == orphans->end())
            orphans->push_back(target);
        return;
    }
    std::vector<ReferenceTarget*> queue{target};
    orphans = &queue;
    while (!queue.empty()) {
        ReferenceTarget* next = queue.back();
        queue.pop_back();
        next->MaybeAutoDelete();
    }
    orphans = nullptr;
}

}  // namespace

ReferenceMaker::~ReferenceMaker() {
    // The derived object is gone, so its slots cannot be asked; the held list says what to drop.
    while (!held_.empty()) {
        ReferenceTarget* target = held_.back();
        held_.pop_back();
        eraseOne(target->dependents_, static_cast<ReferenceMaker*>(this));
        if (target->dependents_.empty()) deleteOrphan(target);
    }
}

int ReferenceMaker::NumRefs() { return 0; }
RefTargetHandle ReferenceMaker::GetReference(int) { return nullptr; }
void ReferenceMaker::SetReference(int, RefTargetHandle) {}

RefResult ReferenceMaker::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                                           bool) {
    return REF_SUCCEED;
}

IOResult ReferenceMaker::Save(ISave*) { return IO_OK; }
IOResult ReferenceMaker::Load(ILoad*) { return IO_OK; }
bool ReferenceMaker::AcceptsReference(int, RefTargetHandle) { return true; }

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle newTarget) {
    if (which < 0 || which >= NumRefs()) return REF_FAIL;
    if (newTarget != nullptr && static_cast<ReferenceMaker*>(newTarget) == this) return REF_FAIL;
    if (newTarget != nullptr && !AcceptsReference(which, newTarget)) return REF_FAIL;
    ReferenceTarget* old = GetReference(which);
    if (old == newTarget) return REF_SUCCEED;
    if (newTarget != nullptr) {
        newTarget->dependents_.push_back(this);
        held_.push_back(newTarget);
    }
    SetReference(which, newTarget);
    if (old != nullptr) releaseHeld(old);
    return REF_SUCCEED;
}

void ReferenceMaker::releaseHeld(ReferenceTarget* target) {
    // A slot filled without ReplaceReference was never registered; leave its target alone.
    if (!eraseOne(held_, target)) return;
    eraseOne(target->dependents_, static_cast<ReferenceMaker*>(this));
    if (target->dependents_.empty()) deleteOrphan(target);
}

void ReferenceMaker::DeleteAllRefs() {
    for (int i = 0; i < NumRefs(); ++i) DeleteReference(i);
}

}  // namespace host
