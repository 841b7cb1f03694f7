// An object that can be referenced: it knows its dependents, tells them of its changes and can
// be cloned through a RemapDir.
#pragma once

#include <vector>

#include "platform/host/reference_maker.h"

namespace host {

class RemapDir;

class ReferenceTarget : public ReferenceMaker {
public:
    ReferenceTarget() = default;
    /// Clears the reference of every remaining dependent to this target.
    ~ReferenceTarget() override;

    bool IsRefTarget() override { return true; }

    /// A copy of this object whose references are cloned through `remap`. Default: null (the
    /// class cannot be cloned).
    virtual ReferenceTarget* Clone(RemapDir& remap);
    /// Copies host-internal state from `from` to `to` after a clone; nothing in the stand-in.
    virtual void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);

    /// Sends `message` to every dependent. With `propagate`, a dependent that answers
    /// REF_SUCCEED passes it on to its own dependents, naming itself as the target.
    RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                               bool propagate = true);

    int NumDependents() const { return static_cast<int>(dependents_.size()); }
    ReferenceMaker* GetDependent(int i) const;
    /// Deletes the object if nothing references it; answers whether it did.
    bool MaybeAutoDelete();

private:
    friend class ReferenceMaker;
    RefResult notify(const Interval& changeInt, PartID partID, RefMessage message, bool propagate,
                     int depth);

    std::vector<ReferenceMaker*> dependents_;
};

}  // namespace host
