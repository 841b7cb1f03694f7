// An object that holds references to targets and hears about their changes. The stand-in keeps
// both sides of every reference in step: ReplaceReference registers the maker with its target,
// and a target whose last reference goes away deletes itself, as the host's do.
#pragma once

#include <vector>

#include "platform/host/animatable.h"
#include "platform/host/interval.h"

namespace host {

class ISave;
class ILoad;
class ReferenceTarget;
using RefTargetHandle = ReferenceTarget*;

enum RefResult : int {
    REF_FAIL = 0,
    REF_SUCCEED = 1,
    REF_DONTCARE = 2,
    REF_STOP = 3,
    REF_INVALID = 4,
};

using RefMessage = ULONG;
inline constexpr RefMessage REFMSG_TARGET_DELETED = 0x10;
inline constexpr RefMessage REFMSG_CHANGE = 0x50;

using PartID = ULONG;
inline constexpr PartID PART_ALL = 0xffffffff;

/// Result of a chunked save or load step.
enum IOResult : int {
    IO_OK = 0,
    IO_END = 1,
    IO_ERROR = 2,
};

class ReferenceMaker : public Animatable {
public:
    ReferenceMaker() = default;
    /// Drops every reference this maker still holds (targets left without any are deleted).
    ~ReferenceMaker() override;

    virtual int NumRefs();
    virtual RefTargetHandle GetReference(int i);

    /// A target changed (or sent another message). The default answers REF_SUCCEED.
    virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                                       PartID& partID, RefMessage message, bool propagate);

    /// The object's own chunks; references are saved by the scene, not here.
    virtual IOResult Save(ISave* isave);
    virtual IOResult Load(ILoad* iload);

    /// Whether a loaded scene may place `target` in reference slot i. Loading checks this
    /// before wiring anything, so a hostile file cannot put, say, a material where a map belongs.
    /// Default: true (the loader also requires slots the constructor filled to keep their class).
    virtual bool AcceptsReference(int i, RefTargetHandle target);

    /// Makes `newTarget` reference i. The old target loses this dependent and, if it has none
    /// left, deletes itself. A maker cannot reference itself, nor hold a target its
    /// AcceptsReference refuses (REF_FAIL).
    RefResult ReplaceReference(int which, RefTargetHandle newTarget);
    RefResult DeleteReference(int which) { return ReplaceReference(which, nullptr); }
    /// Clears every reference slot.
    void DeleteAllRefs();

    virtual bool IsRefTarget() { return false; }

protected:
    /// Stores `target` in slot i. Called only through ReplaceReference and when a target dies.
    virtual void SetReference(int i, RefTargetHandle target);

private:
    friend class ReferenceTarget;
    void releaseHeld(ReferenceTarget* target);

    // Targets referenced through ReplaceReference, once per slot that holds them.
    std::vector<ReferenceTarget*> held_;
};

}  // namespace host
