// The table of a clone in progress: which original was cloned into which copy, so a target
// referenced twice is cloned once.
#pragma once

#include <map>

#include "platform/host/reference_target.h"

namespace host {

class RemapDir {
public:
    RemapDir() = default;
    RemapDir(const RemapDir&) = delete;
    RemapDir& operator=(const RemapDir&) = delete;

    /// The clone of `oldTarget` made in this remap, made now if there is none yet. Null for null.
    ReferenceTarget* CloneRef(ReferenceTarget* oldTarget);
    /// The clone of `oldTarget` so far, or null.
    ReferenceTarget* FindMapping(ReferenceTarget* oldTarget) const;
    void AddEntry(ReferenceTarget* oldTarget, ReferenceTarget* newTarget);

private:
    std::map<ReferenceTarget*, ReferenceTarget*> clones_;
};

}  // namespace host
